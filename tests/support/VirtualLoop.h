#pragma once

#include "runtime/VirtualLoop.h"

namespace lark::testing {
using lark::VirtualClock;
using lark::VirtualLoop;
}  // namespace lark::testing
