#pragma once

#include "runtime/Thread.h"

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

// The mode threads of Window1, each placed on it under its own name.
class Class11 final : public Class1 {
  public:
    explicit Class11(Scheduler& scheduler) : Class1(scheduler, "Class11") {}
};
class Class21 final : public Class2 {
  public:
    explicit Class21(Scheduler& scheduler) : Class2(scheduler, "Class21") {}
};
class Class31 final : public Class3 {
  public:
    explicit Class31(Scheduler& scheduler) : Class3(scheduler, "Class31") {}
};

}  // namespace lark
