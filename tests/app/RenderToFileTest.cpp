// Rendering to a file as the command line asks: what it prints, what it leaves on disk.
#include "app/RenderToFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/FakeSounds.h"

namespace lark {
namespace {

namespace fs = std::filesystem;

class RenderToFileTest : public ::testing::Test {
  protected:
    ~RenderToFileTest() override { fs::remove_all(dir); }

    int Render(const std::string& out, bool force) {
        printed.str("");
        errors.str("");
        std::vector<std::string_view> args = {"--render", "one-shot", "--seed", "4", out};
        if (force) {
            args.push_back("--force");
        }
        return RenderToFile(ParseCommandLine(args), testing::ConstantClips(10), printed, errors);
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            names.push_back(entry.path().filename());
        }
        return names;
    }
    static int Lines(const std::ostringstream& stream) {
        const std::string text = stream.str();
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }

    fs::path dir = [] {
        std::string name = (fs::temp_directory_path() / "lark-render.XXXXXX").string();
        return fs::path(mkdtemp(name.data()));
    }();
    std::ostringstream printed, errors;
};

TEST_F(RenderToFileTest, AnExistingFileIsKeptWithoutForceAndReplacedWithIt) {
    const std::string out = dir / "kept.wav";
    std::ofstream(out) << "mine";
    EXPECT_EQ(Render(out, false), 1);
    EXPECT_EQ(Lines(errors), 1);
    EXPECT_NE(errors.str().find(out + " exists"), std::string::npos) << "said before rendering";
    EXPECT_EQ(printed.str(), "");
    EXPECT_EQ(fs::file_size(out), 4u);

    EXPECT_EQ(Render(out, true), 0);
    EXPECT_EQ(errors.str(), "");
    EXPECT_EQ(Lines(printed), 13);
    EXPECT_EQ(printed.str().find(" 0.000000\n"), printed.str().find('\n') - 9) << "from 0 s";
    EXPECT_GT(fs::file_size(out), 10.86 * kOutputRateHz * sizeof(float));
    EXPECT_EQ(Files(), std::vector<std::string>{"kept.wav"});
}

TEST_F(RenderToFileTest, AFailedWriteLeavesNoFileBehind) {
    // A render past the file size limit (the disk full, as a write sees it)...
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small{64 * 1024, limit.rlim_max};
    const auto signalBefore = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const int tooBig = Render(dir / "big.wav", false);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, signalBefore);
    EXPECT_EQ(tooBig, 1);
    EXPECT_EQ(Lines(errors), 1);
    EXPECT_EQ(Files(), std::vector<std::string>{});

    // ...and one whose name is taken by a folder.
    fs::create_directory(dir / "taken.wav");
    EXPECT_EQ(Render(dir / "taken.wav", true), 1);
    EXPECT_EQ(Lines(errors), 1);
    EXPECT_EQ(Files(), std::vector<std::string>{"taken.wav"});
    EXPECT_TRUE(fs::is_empty(dir / "taken.wav"));
}

}  // namespace
}  // namespace lark
