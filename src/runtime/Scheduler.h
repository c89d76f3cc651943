#pragma once

#include <coroutine>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/Clock.h"
#include "runtime/Task.h"

namespace lark {

class Scheduler;

// What the scheduler needs of an event loop. The production driver runs turns from Qt's
// event loop; tests drive turns themselves in virtual time.
class SchedulerDriver {
  public:
    virtual ~SchedulerDriver() = default;
    // A job is runnable: run a turn soon, on a later pass of the event loop.
    virtual void RequestTurn() = 0;
    // Nothing is runnable before deadlineUs (a Clock reading): a turn then will find work.
    virtual void RequestTurnAt(double deadlineUs) = 0;
    // Nothing is waiting on time; no turn is needed until something is requested again.
    virtual void Idle() = 0;
    // The scheduler whose turns the driver runs, told once as the scheduler is built.
    virtual void Attach(Scheduler& /*scheduler*/) {}
};

// Cooperative jobs on one OS thread. Exactly one job runs at a time, and a job gives way only
// where it awaits Yield or an external wake (a message box), or at its end. All calls come
// from the GUI thread.
class Scheduler {
  public:
    using JobId = std::uint64_t;
    using UncaughtHandler = std::function<void(const std::string& job, std::exception_ptr)>;

    Scheduler(const Clock& clock, SchedulerDriver& driver);
    ~Scheduler();
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;

    // An exception escaping a job ends that job only and is handed here.
    void SetUncaughtHandler(UncaughtHandler handler) { uncaught_ = std::move(handler); }

    // Runs the task now, up to its first suspension (event handlers).
    JobId Spawn(std::string name, Task<> task);
    // Runs the task from the next turn on (performance threads).
    JobId Start(std::string name, Task<> task);
    // Ends the job at the suspension where it waits: nothing after it runs and its frames are
    // destroyed. A job that is running now ends at its next suspension. Unknown ids are ignored.
    void Kill(JobId id);
    bool IsAlive(JobId id) const { return jobs_.count(id) != 0; }
    std::size_t JobCount() const { return jobs_.size(); }

    // Resumes, once each, the jobs runnable when the turn begins. Returns how many ran.
    int RunTurn();

    struct YieldAwaiter {
        Scheduler& scheduler;
        std::optional<double> notBeforeUs;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> h) { scheduler.Suspend(h, notBeforeUs); }
        void await_resume() const noexcept {}
    };
    // Lets the event loop and other jobs run. notBeforeUs says that the job has nothing to do
    // before that clock reading, so the loop may sleep instead of resuming it sooner.
    YieldAwaiter Yield(std::optional<double> notBeforeUs = std::nullopt) {
        return YieldAwaiter{*this, notBeforeUs};
    }

    // For awaiters that wait on something outside the scheduler: park the current job, and
    // get a wake that resumes it on a later turn. A wake for a job that was killed, or that
    // was already woken, does nothing.
    struct Wake {
        JobId id = 0;
        std::uint64_t generation = 0;
    };
    Wake Park(std::coroutine_handle<> h);
    void Resume(Wake wake);

    const Clock& clock() const { return clock_; }

  private:
    enum class State { Runnable, Timed, Parked, Running };
    struct Job {
        std::string name;
        Task<> task;
        std::coroutine_handle<> resumeAt;
        State state = State::Runnable;
        double deadlineUs = 0;
        std::uint64_t generation = 0;  // bumped at each suspension; stale wakes carry an old one
        bool killRequested = false;
    };

    JobId Add(std::string name, Task<> task);
    void Enqueue(JobId id, Job& job);
    void Suspend(std::coroutine_handle<> h, std::optional<double> notBeforeUs);
    void ResumeJob(JobId id);
    void Finish(JobId id);
    void Destroy(JobId id);
    void TellDriver();

    const Clock& clock_;
    SchedulerDriver& driver_;
    UncaughtHandler uncaught_;
    std::map<JobId, Job> jobs_;
    std::vector<Wake> runnable_;  // queued for the next turn
    std::vector<Wake> turn_;      // being run this turn; both keep their capacity
    std::vector<std::pair<double, JobId>> due_;
    JobId nextId_ = 1;
    JobId current_ = 0;  // the job being resumed, 0 on the event loop itself
    int depth_ = 0;      // nesting of RunTurn/Spawn, to tell the driver only at the outermost
};

}  // namespace lark
