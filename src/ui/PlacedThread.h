#pragma once

#include "runtime/Thread.h"
#include "ui/LayoutRecord.h"
#include "ui/PlacedObject.h"

namespace lark {

// Makes a thread an object placed on a window: found by name like a control, its "Run" event
// bound to its run routine. Mixed into a class derived from Thread, given that Thread.
class PlacedThread : public PlacedObject {
  public:
    explicit PlacedThread(Thread& thread) : thread_(thread) {}
    void BindEvent(std::string_view event, EventHandler handler) override;

  private:
    Thread& thread_;
};

// Applies layout records to a thread: StackSize and Priority can be set; ThreadID and State
// belong to the running thread and cannot.
class ThreadLayout final : public LayoutTarget {
  public:
    explicit ThreadLayout(Thread& thread) : thread_(thread) {}
    PropertyTable Properties() const override;
    void SetProperty(std::uint16_t index, const PropertyValue& value) override;

  private:
    Thread& thread_;
};

}  // namespace lark
