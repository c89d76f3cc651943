#include "app/MenuBar1.h"

#include <optional>
#include <string>

#include "runtime/NilObjectException.h"

namespace lark {
namespace {

struct ItemSpec {
    const char* parent;  // nullptr: a menu on the bar itself
    const char* name;
    bool quit;
    const char* text;
    std::optional<const char*> shortcut;  // not set for the separator
};

constexpr ItemSpec kItems[] = {
    {nullptr, "FileMenu", false, "About Larkspool 8", ""},
    {"FileMenu", "aboutqv8", false, "About Larkspool 8", ""},
    {"FileMenu", "FileQuit", true, "Quit", "Cmd+Q"},
    {nullptr, "EditMenu", false, "", ""},
    {"EditMenu", "EditUndo", false, "Undo", "Cmd+Z"},
    {"EditMenu", "UntitledMenu0", false, "-", std::nullopt},
    {"EditMenu", "EditCut", false, "Cut", "Cmd+X"},
    {"EditMenu", "EditCopy", false, "Copy", "Cmd+C"},
    {"EditMenu", "EditPaste", false, "Paste", "Cmd+V"},
    {"EditMenu", "EditClear", false, "Clear", ""},
};

}  // namespace

std::unique_ptr<MenuBar1> MenuBar1::_implicitInstance;

MenuBar1& MenuBar1::Instance() {
    if (!_implicitInstance) {
        _implicitInstance = std::make_unique<MenuBar1>();
    }
    return *_implicitInstance;
}

MenuBar1::MenuBar1() {
    for (const ItemSpec& row : kItems) {
        std::unique_ptr<MenuItem> item =
            row.quit ? std::make_unique<QuitMenuItem>() : std::make_unique<MenuItem>();
        item->SetName(row.name);
        item->SetAutoEnable(true);
        item->SetText(row.text);
        if (row.shortcut) {
            item->SetKeyboardShortcut(*row.shortcut);
        }
        if (row.parent == nullptr) {
            Append(std::move(item));
            continue;
        }
        MenuItem* parent = nullptr;
        for (std::size_t i = 0; i < Count() && parent == nullptr; ++i) {
            if (Item(i).Name() == row.parent) {
                parent = &Item(i);
            }
        }
        if (parent == nullptr) {
            throw NilObjectException(std::string("menu ") + row.parent);
        }
        parent->Append(std::move(item));
    }
}

}  // namespace lark
