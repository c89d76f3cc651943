#pragma once

#include <functional>
#include <string_view>

#include "runtime/Task.h"

namespace lark {

// A handler bound to an event; it runs as a scheduler job, so it may await.
using EventHandler = std::function<Task<>()>;

// Anything placed on a window under a name: controls, and non-visual objects such as threads.
class PlacedObject {
  public:
    virtual ~PlacedObject() = default;
    // Binds a handler to the event of that name. Throws std::invalid_argument for an event
    // the object does not raise.
    virtual void BindEvent(std::string_view event, EventHandler handler);
};

}  // namespace lark
