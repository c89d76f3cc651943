#include "app/PlayTraceFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace lark {
namespace {

TEST(PlayTraceFileTest, ALineAPlayThenTheAccountsOrOneLineSayingItCannotBeWritten) {
    const std::string path = std::filesystem::temp_directory_path() /
                             ("lark-trace-" + std::to_string(getpid()) + ".txt");
    std::ostringstream err;
    {
        PlayTraceFile trace;
        ASSERT_TRUE(trace.Open(path, err));
        trace.Add({168, 1'000'000, 10});
        trace.Account({7, 1, {6, 2, 3, 4, 5}});
    }  // complete once it is gone
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    std::filesystem::remove(path);
    EXPECT_EQ(text.str(),
              "beep 1000000\n# sent 7 dropped 1 placed 6 late 2 finished 3 stolen 4 discarded 5\n");

    PlayTraceFile none, unwritable;
    EXPECT_TRUE(none.Open("", err)) << "no trace asked for";
    EXPECT_EQ(err.str(), "");
    EXPECT_FALSE(unwritable.Open(path + "/no-such-folder/t.txt", err));
    const std::string said = err.str();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

}  // namespace
}  // namespace lark
