#pragma once

#include "runtime/Thread.h"
#include "ui/PlacedThread.h"

namespace lark {

// One thread class per mode: Class1 looped 2, Class2 one shot, Class3 looped 1.
class Class1 : public Thread {
  public:
    using Thread::Thread;
};
class Class2 : public Thread {
  public:
    using Thread::Thread;
};
class Class3 : public Thread {
  public:
    using Thread::Thread;
};

// The mode threads as placed on Window1: found by name, "Run" bound to the window's routine.
// The window owns them, so they need no back reference to it.
template <class Mode>
class WindowBound : public Mode, public PlacedThread {
  public:
    WindowBound(Scheduler& scheduler, std::string name)
        : Mode(scheduler, std::move(name)), PlacedThread(static_cast<Thread&>(*this)) {}
};

class Class11 final : public WindowBound<Class1> {
  public:
    explicit Class11(Scheduler& scheduler) : WindowBound(scheduler, "Class11") {}
};
class Class21 final : public WindowBound<Class2> {
  public:
    explicit Class21(Scheduler& scheduler) : WindowBound(scheduler, "Class21") {}
};
class Class31 final : public WindowBound<Class3> {
  public:
    explicit Class31(Scheduler& scheduler) : WindowBound(scheduler, "Class31") {}
};

}  // namespace lark
