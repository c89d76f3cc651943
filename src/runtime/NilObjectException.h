#pragma once

#include <stdexcept>
#include <string>

namespace lark {

// Raised on use of a missing object: a control not found by name, a clip whose resource is
// missing. Nothing in the piece catches it; the runtime reports it and ends only the handler
// or performance it occurred in.
class NilObjectException : public std::runtime_error {
  public:
    explicit NilObjectException(const std::string& missing)
        : std::runtime_error("missing " + missing) {}
};

}  // namespace lark
