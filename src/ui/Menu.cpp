#include "ui/Menu.h"

#include "runtime/NilObjectException.h"

namespace lark {

MenuItem* MenuItem::FindChild(const std::string& name) const {
    for (const auto& child : children_) {
        if (child->Name() == name) {
            return child.get();
        }
        if (MenuItem* found = child->FindChild(name)) {
            return found;
        }
    }
    return nullptr;
}

MenuItem& MenuItem::Child(const std::string& name) const {
    if (MenuItem* found = FindChild(name)) {
        return *found;
    }
    throw NilObjectException("menu item " + name);
}

void MenuHandlers::Add(std::string itemName, MenuHandler handler) {
    handlers_[std::move(itemName)] = std::move(handler);
}

const MenuHandler* MenuHandlers::Find(const std::string& itemName) const {
    const auto it = handlers_.find(itemName);
    return it == handlers_.end() ? nullptr : &it->second;
}

Task<> DeliverMenuCommand(std::string itemName, const MenuHandlers* window,
                          const MenuHandlers* application, std::function<void()> unhandled) {
    for (const MenuHandlers* handlers : {window, application}) {
        const MenuHandler* handler = handlers ? handlers->Find(itemName) : nullptr;
        if (handler && co_await (*handler)()) {
            co_return;
        }
    }
    if (unhandled) {
        unhandled();
    }
}

}  // namespace lark
