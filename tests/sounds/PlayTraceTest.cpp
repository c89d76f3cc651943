#include "sounds/PlayTrace.h"

#include <gtest/gtest.h>

#include <sstream>

namespace lark {
namespace {

TEST(PlayTraceTest, ALineAPlayWithItsClipsNameAndTheStampAsExactAsTheClockReadIt) {
    std::ostringstream out;
    PlayTrace trace(out);
    trace.Add(168, 1'000'000);
    trace.Add(173, 8'123'456.789);
    trace.Add(7, 0.25);
    EXPECT_EQ(out.str(), "beep 1000000\nman 8123456.789\nunknown 0.25\n");
}

}  // namespace
}  // namespace lark
