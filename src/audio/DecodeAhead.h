#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "audio/ClipData.h"

namespace lark {

// Decodes a list of clips on a worker thread of its own, so that the first request for each
// finds it ready instead of decoding it there and then. Each decoded clip is handed out once;
// a request for a clip the worker has not reached yet decodes it on the caller's thread.
class DecodeAhead {
  public:
    // [any] Runs on the worker and, for clips not yet reached, on the caller of Take.
    using Decoder = std::function<std::shared_ptr<const ClipData>(int number)>;

    // Starts the worker at once.
    DecodeAhead(std::vector<int> numbers, Decoder decode);
    // Waits for the clip the worker is on, if any; skips the rest.
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    // The clip decoded for number (nullptr when it did
    // not decode), waiting only if the worker is decoding it right now; nothing when the
    // number was not in the list or was taken before.
    std::optional<std::shared_ptr<const ClipData>> Take(int number);

  private:
    enum State : int { kQueued, kClaimed, kReady, kTaken };
    struct Slot {
        int number = 0;
        std::atomic<int> state{kQueued};
        std::shared_ptr<const ClipData> clip;  // written by whoever claimed the slot
    };

    void Work();  // [worker]

    Decoder decode_;
    std::vector<std::unique_ptr<Slot>> slots_;
    std::atomic<bool> stop_{false};
    std::thread worker_;  // last: starts once the slots are there
};

}  // namespace lark
