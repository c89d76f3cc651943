#pragma once

#include <exception>
#include <list>
#include <memory>
#include <ostream>
#include <string>

#include "runtime/MessageBox.h"

namespace lark {

// The framework's handling of an exception that escaped a handler or a run routine: one line
// on the error stream, one error message box naming what failed, and the application goes on.
class UncaughtErrors {
  public:
    UncaughtErrors(MessageBoxes& boxes, std::ostream& log) : boxes_(boxes), log_(log) {}

    void Report(const std::string& where, std::exception_ptr error);
    static std::string Describe(std::exception_ptr error);

  private:
    // A box may be dismissed before Open has even returned it.
    struct Shown {
        std::unique_ptr<MessageBoxes::OpenBox> box;
        bool opening = true;
        bool dismissed = false;
    };

    MessageBoxes& boxes_;
    std::ostream& log_;
    std::list<Shown> open_;
};

}  // namespace lark
