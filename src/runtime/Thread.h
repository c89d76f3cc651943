#pragma once

#include <functional>
#include <string>

#include "runtime/Scheduler.h"
#include "runtime/Task.h"

namespace lark {

// A performance thread: a cooperative job whose run routine is bound as its Run event.
// GUI thread only.
class Thread {
  public:
    using RunHandler = std::function<Task<>()>;

    Thread(Scheduler& scheduler, std::string name);
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    void SetRunHandler(RunHandler handler) { runHandler_ = std::move(handler); }
    // Called by Run each time it starts the run routine, before the routine is made: for what
    // must begin afresh with every performance.
    void SetStartListener(std::function<void()> listener) { startListener_ = std::move(listener); }

    // Starts the run routine on the next turn and returns at once. Does nothing while the
    // thread is running (or about to), so a double click starts one performance only.
    void Run();
    // Ends the run at the suspension where it waits; does nothing when it is not running.
    void Kill();
    bool IsRunning() const;

    const std::string& Name() const { return name_; }
    int Priority = 5;
    int StackSize = 0;

  private:
    Scheduler& scheduler_;
    std::string name_;
    RunHandler runHandler_;
    std::function<void()> startListener_;
    Scheduler::JobId job_ = 0;
};

}  // namespace lark
