#pragma once

#include <memory>

#include "runtime/Thread.h"
#include "ui/LayoutRecord.h"
#include "ui/PlacedObject.h"

namespace lark {

// A thread placed on a window, which owns it: found by name like a control, its "Run" event
// bound to its run routine, and its layout record applied. StackSize and Priority can be set;
// ThreadID and State belong to the running thread and cannot.
class PlacedThread final : public PlacedObject, public LayoutTarget {
  public:
    explicit PlacedThread(std::unique_ptr<Thread> thread) : thread_(std::move(thread)) {}
    Thread& GetThread() const { return *thread_; }

    void BindEvent(std::string_view event, EventHandler handler) override;
    PropertyTable Properties() const override;
    void SetProperty(std::uint16_t index, const PropertyValue& value) override;

  private:
    std::unique_ptr<Thread> thread_;
};

}  // namespace lark
