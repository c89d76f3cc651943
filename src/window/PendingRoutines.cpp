// Placeholders for the transport handlers and the mode run routines, until they land.
#include "window/Window1.h"

namespace lark {

Task<> Window1::play_Action() {
    co_return;
}
Task<> Window1::stop_Action() {
    co_return;
}
Task<> Window1::Class11_Run() {
    co_return;
}
Task<> Window1::Class21_Run() {
    co_return;
}
Task<> Window1::Class31_Run() {
    co_return;
}

}  // namespace lark
