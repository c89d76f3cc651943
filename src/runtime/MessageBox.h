#pragma once

#include <functional>
#include <memory>
#include <string>

#include "runtime/Scheduler.h"

namespace lark {

// The platform's line separator, for texts shown in message boxes.
inline constexpr const char* EndOfLine = "\n";

// Shows modal message boxes with one button. Open returns at once; onDismissed runs on a later
// turn of the event loop, once, after the user dismissed the box. Destroying the returned
// handle closes a box that is still open, without calling onDismissed.
class MessageBoxes {
  public:
    class OpenBox {
      public:
        virtual ~OpenBox() = default;
    };
    enum class Kind { Information, Error };

    virtual ~MessageBoxes() = default;
    virtual std::unique_ptr<OpenBox> Open(const std::string& text, Kind kind,
                                          std::function<void()> onDismissed) = 0;
};

// Awaited from a job: shows the text and resumes the job once the box is dismissed. Other
// jobs and the event loop go on meanwhile. If the job is killed, its box closes with it.
class MsgBoxAwaiter {
  public:
    MsgBoxAwaiter(Scheduler& scheduler, MessageBoxes& boxes, std::string text)
        : scheduler_(scheduler), boxes_(boxes), text_(std::move(text)) {}

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> h) {
        const Scheduler::Wake wake = scheduler_.Park(h);
        Scheduler* scheduler = &scheduler_;
        box_ = boxes_.Open(text_, MessageBoxes::Kind::Information,
                           [scheduler, wake] { scheduler->Resume(wake); });
    }
    void await_resume() { box_.reset(); }

  private:
    Scheduler& scheduler_;
    MessageBoxes& boxes_;
    std::string text_;
    std::unique_ptr<MessageBoxes::OpenBox> box_;
};

}  // namespace lark
