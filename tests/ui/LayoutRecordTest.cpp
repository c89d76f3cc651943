#include "ui/LayoutRecord.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "ui/PropertyTables.h"

namespace lark {
namespace {

using Bytes = std::vector<std::uint8_t>;

class RecordingTarget final : public LayoutTarget {
  public:
    explicit RecordingTarget(PropertyTable table = PushButtonProperties()) : table(table) {}
    PropertyTable Properties() const override { return table; }
    void SetProperty(std::uint16_t index, const PropertyValue&) override { set.push_back(index); }
    PropertyTable table;
    std::vector<std::uint16_t> set;
};

TEST(LayoutRecordTest, BigEndianTypedValuesEncodeDecodeAndApplyInRecordOrder) {
    constexpr auto record = RecordBuilder<64>{}
                                .Integer(5, INT32_MIN)
                                .Colour(22, 255, 1, 2)
                                .String(6, "play")
                                .Boolean(0, true)
                                .Integer(24, 115)
                                .String(23, "");
    const Bytes bytes = {0x00, 0x05, 0x80, 0x00, 0x00, 0x00, 0x00, 0x16, 0xFF, 0x01, 0x02, 0x00,
                         0x06, 0x00, 0x00, 0x00, 0x04, 'p',  'l',  'a',  'y',  0x00, 0x00, 0x01,
                         0x00, 0x18, 0x00, 0x00, 0x00, 0x73, 0x00, 0x17, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(Bytes(record.Bytes().begin(), record.Bytes().end()), bytes);
    const std::vector<PropertyEntry> entries = {
        {5, std::int32_t{INT32_MIN}}, {22, Colour{255, 1, 2}}, {6, std::string("play")}, {0, true},
        {24, std::int32_t{115}},      {23, std::string()},
    };
    EXPECT_EQ(DecodeLayoutRecord("Window1", WindowProperties(), bytes), entries);
    EXPECT_EQ(EncodeLayoutRecord("Window1", WindowProperties(), entries), bytes);
    RecordingTarget target(WindowProperties());
    ApplyLayoutRecord(target, "Window1", bytes);
    EXPECT_EQ(target.set, (std::vector<std::uint16_t>{5, 22, 6, 0, 24, 23})) << "in record order";
    EXPECT_TRUE(DecodeLayoutRecord("play", PushButtonProperties(), Bytes{}).empty());
    EXPECT_THROW(EncodeLayoutRecord("play", PushButtonProperties(), {{32, true}}),
                 LayoutRecordError)
        << "a value of the wrong type";
}

// A malformed record is refused whole, naming the object and the byte where it went wrong,
// before any setter runs. 23 is Enabled, 32 Caption, 39 Underline (push buttons only).
struct Malformed {
    friend void PrintTo(const Malformed& c, std::ostream* os) { *os << c.name; }
    const char* name;
    PropertyTable table;
    Bytes bytes;
    std::size_t offset;
    const char* says;
};
class MalformedRecordTest : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedRecordTest, IsRejectedAtItsFaultAndSetsNothing) {
    const Malformed& c = GetParam();
    RecordingTarget target(c.table);
    try {
        ApplyLayoutRecord(target, "play", c.bytes);
        ADD_FAILURE() << "the record was accepted";
    } catch (const LayoutRecordError& e) {
        EXPECT_EQ(e.Offset(), c.offset);
        EXPECT_TRUE(std::string(e.what()).starts_with("layout record of play, byte " +
                                                      std::to_string(c.offset) + ": " + c.says))
            << e.what();
    }
    EXPECT_TRUE(target.set.empty());
}

const PropertyTable kPush = PushButtonProperties();
INSTANTIATE_TEST_SUITE_P(
    Faults, MalformedRecordTest,
    ::testing::Values(
        Malformed{"TruncatedInteger", kPush, Bytes{0, 1, 0x80, 0, 0, 0, 0, 19, 0, 0, 0}, 8,
                  "truncated integer value"},
        Malformed{"TruncatedIndex", kPush, Bytes{0, 23, 1, 0}, 3, "truncated property index"},
        // Underline is a push button's, not a radio button's.
        Malformed{"UnknownIndex", RadioButtonProperties(), Bytes{0, 23, 1, 0, 39, 0}, 3,
                  "unknown property index 39"},
        Malformed{"UnstoredProperty", kPush, Bytes{0, 6, 0, 0, 0, 0}, 0,
                  "property Window cannot be stored"},
        Malformed{"PropertyTwice", kPush, Bytes{0, 23, 1, 0, 18, 1, 0, 23, 0}, 6,
                  "property Enabled given twice"},
        Malformed{"StringPastTheEnd", kPush, Bytes{0, 23, 1, 0, 32, 0, 0, 0, 5, 'p', 'l', 'a', 'y'},
                  5, "string count 5 runs past"},
        Malformed{"HugeStringCount", kPush, Bytes{0, 32, 0xFF, 0xFF, 0xFF, 0xFF, 'x'}, 2,
                  "string count 4294967295 runs past"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lark
