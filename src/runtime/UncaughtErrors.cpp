#include "runtime/UncaughtErrors.h"

namespace lark {

std::string UncaughtErrors::Describe(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

void UncaughtErrors::Report(const std::string& where, std::exception_ptr error) {
    const std::string what = Describe(error);
    log_ << "larkspool8: " << where << " failed: " << what << std::endl;
    const auto slot = open_.emplace(open_.end());
    auto box =
        boxes_.Open(where + " failed: " + what + ".", MessageBoxes::Kind::Error, [this, slot] {
            if (slot->opening) {
                slot->dismissed = true;
            } else {
                open_.erase(slot);
            }
        });
    if (slot->dismissed) {
        open_.erase(slot);
        return;
    }
    slot->box = std::move(box);
    slot->opening = false;
}

}  // namespace lark
