#include "ui/PlacedThread.h"

#include <stdexcept>
#include <string>

#include "ui/PropertyTables.h"

namespace lark {

void PlacedThread::BindEvent(std::string_view event, EventHandler handler) {
    if (event != "Run") {
        return PlacedObject::BindEvent(event, std::move(handler));  // throws: no such event
    }
    thread_->SetRunHandler(std::move(handler));
}

PropertyTable PlacedThread::Properties() const {
    return ThreadProperties();
}

void PlacedThread::SetProperty(std::uint16_t index, const PropertyValue& value) {
    switch (index) {
        case prop::thread::StackSize:
            thread_->StackSize = AsInteger(value);
            return;
        case prop::thread::Priority:
            thread_->Priority = AsInteger(value);
            return;
        default:
            throw std::invalid_argument("thread property index " + std::to_string(index) +
                                        " cannot be set");
    }
}

}  // namespace lark
