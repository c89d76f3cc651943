#include "runtime/Thread.h"

namespace lark {

Thread::Thread(Scheduler& scheduler, std::string name)
    : scheduler_(scheduler), name_(std::move(name)) {}

Thread::~Thread() {
    Kill();
}

void Thread::Run() {
    if (IsRunning() || !runHandler_) {
        return;
    }
    if (startListener_) {
        startListener_();
    }
    job_ = scheduler_.Start(name_ + ".Run", runHandler_());
}

void Thread::Kill() {
    if (job_ != 0) {
        scheduler_.Kill(job_);
        job_ = 0;
    }
}

bool Thread::IsRunning() const {
    return job_ != 0 && scheduler_.IsAlive(job_);
}

}  // namespace lark
