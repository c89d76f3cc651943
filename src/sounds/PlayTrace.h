#pragma once

#include <ostream>
#include <string_view>

namespace lark {

// The name of the clip under a resource number, or "unknown".
std::string_view ClipNameOf(int number);

// The Plays of a run as text, one line a Play: the clip's name and the clock reading stamped on
// the Play, in microseconds, as exact as the reading ("beep 1250000", "man 8123456.789"). A live
// run and a render of the same seed and mode give the same names in the same order.
class PlayTrace {
  public:
    explicit PlayTrace(std::ostream& out) : out_(out) {}
    void Add(int number, double atUs);

  private:
    std::ostream& out_;
};

}  // namespace lark
