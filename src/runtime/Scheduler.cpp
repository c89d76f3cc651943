#include "runtime/Scheduler.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace lark {

Scheduler::Scheduler(const Clock& clock, SchedulerDriver& driver) : clock_(clock), driver_(driver) {
    driver_.Attach(*this);
}

Scheduler::~Scheduler() {
    // Frames may hold awaiters that call back into us when destroyed; empty the table first.
    auto jobs = std::move(jobs_);
    jobs_.clear();
    runnable_.clear();
}

Scheduler::JobId Scheduler::Add(std::string name, Task<> task) {
    const JobId id = nextId_++;
    Job& job = jobs_[id];
    job.name = std::move(name);
    job.resumeAt = task.Entry();
    job.task = std::move(task);
    return id;
}

Scheduler::JobId Scheduler::Spawn(std::string name, Task<> task) {
    const JobId id = Add(std::move(name), std::move(task));
    ++depth_;
    ResumeJob(id);
    --depth_;
    TellDriver();
    return id;
}

Scheduler::JobId Scheduler::Start(std::string name, Task<> task) {
    const JobId id = Add(std::move(name), std::move(task));
    Enqueue(id, jobs_.at(id));
    TellDriver();
    return id;
}

void Scheduler::Enqueue(JobId id, Job& job) {
    job.state = State::Runnable;
    runnable_.push_back(Wake{id, job.generation});
}

void Scheduler::Kill(JobId id) {
    auto it = jobs_.find(id);
    if (it == jobs_.end()) {
        return;
    }
    if (it->second.state == State::Running) {
        it->second.killRequested = true;
        return;
    }
    Destroy(id);
    TellDriver();
}

void Scheduler::Destroy(JobId id) {
    auto node = jobs_.extract(id);
    // Out of the table before the frames go, so nothing they run on the way can reach the job.
    node.mapped().task = Task<>();
}

void Scheduler::Suspend(std::coroutine_handle<> h, std::optional<double> notBeforeUs) {
    auto it = jobs_.find(current_);
    if (it == jobs_.end()) {
        throw std::logic_error("Yield awaited outside a scheduled job");
    }
    Job& job = it->second;
    job.resumeAt = h;
    ++job.generation;
    if (notBeforeUs && *notBeforeUs > clock_.Microseconds()) {
        job.state = State::Timed;
        job.deadlineUs = *notBeforeUs;
    } else {
        Enqueue(current_, job);
    }
}

Scheduler::Wake Scheduler::Park(std::coroutine_handle<> h) {
    auto it = jobs_.find(current_);
    if (it == jobs_.end()) {
        throw std::logic_error("a wake awaited outside a scheduled job");
    }
    Job& job = it->second;
    job.resumeAt = h;
    ++job.generation;
    job.state = State::Parked;
    return Wake{current_, job.generation};
}

void Scheduler::Resume(Wake wake) {
    auto it = jobs_.find(wake.id);
    if (it == jobs_.end() || it->second.generation != wake.generation ||
        it->second.state != State::Parked) {
        return;
    }
    Enqueue(wake.id, it->second);
    TellDriver();
}

void Scheduler::ResumeJob(JobId id) {
    Job& job = jobs_.at(id);
    const JobId outer = current_;
    current_ = id;
    job.state = State::Running;
    job.resumeAt.resume();
    current_ = outer;

    // The map never moves its nodes, but the job may have been killed meanwhile.
    auto it = jobs_.find(id);
    if (it == jobs_.end()) {
        return;
    }
    if (it->second.task.Done()) {
        Finish(id);
    } else if (it->second.killRequested) {
        Destroy(id);
    } else if (it->second.state == State::Running) {
        // Suspended on an awaiter that did not register with us: it could never be resumed,
        // so it ends here as if it had thrown.
        const std::string name = it->second.name;
        Destroy(id);
        const auto error =
            std::make_exception_ptr(std::logic_error("suspended outside the scheduler"));
        if (!uncaught_) {
            std::rethrow_exception(error);
        }
        uncaught_(name, error);
    }
}

void Scheduler::Finish(JobId id) {
    auto node = jobs_.extract(id);
    Job& job = node.mapped();
    if (auto error = job.task.Exception(); error && uncaught_) {
        uncaught_(job.name, error);
    }
}

int Scheduler::RunTurn() {
    ++depth_;
    const double now = clock_.Microseconds();
    // Timed jobs that are due join the queue in deadline order.
    due_.clear();
    for (auto& [id, job] : jobs_) {
        if (job.state == State::Timed && job.deadlineUs <= now) {
            due_.emplace_back(job.deadlineUs, id);
        }
    }
    std::sort(due_.begin(), due_.end());
    for (const auto& due : due_) {
        Enqueue(due.second, jobs_.at(due.second));
    }

    // Only the wakes queued before this turn: a job that yields again waits for the next one.
    turn_.clear();
    std::swap(turn_, runnable_);
    int ran = 0;
    for (const Wake& wake : turn_) {
        auto it = jobs_.find(wake.id);
        if (it == jobs_.end() || it->second.generation != wake.generation ||
            it->second.state != State::Runnable) {
            continue;
        }
        ResumeJob(wake.id);
        ++ran;
    }
    --depth_;
    TellDriver();
    return ran;
}

void Scheduler::TellDriver() {
    if (depth_ > 0) {
        return;
    }
    for (const Wake& wake : runnable_) {
        auto it = jobs_.find(wake.id);
        if (it != jobs_.end() && it->second.generation == wake.generation &&
            it->second.state == State::Runnable) {
            driver_.RequestTurn();
            return;
        }
    }
    runnable_.clear();  // only stale wakes were left
    double earliest = std::numeric_limits<double>::infinity();
    for (const auto& [id, job] : jobs_) {
        if (job.state == State::Timed && job.deadlineUs < earliest) {
            earliest = job.deadlineUs;
        }
    }
    if (earliest != std::numeric_limits<double>::infinity()) {
        driver_.RequestTurnAt(earliest);
    } else {
        driver_.Idle();
    }
}

}  // namespace lark
