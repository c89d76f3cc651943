#include "platform/LayoutRecord.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "platform/PlacedThread.h"
#include "platform/PropertyTables.h"
#include "platform/Thread.h"
#include "support/VirtualLoop.h"

namespace lark {
namespace {

using Bytes = std::vector<std::uint8_t>;

class LayoutRecordTest : public ::testing::Test {
  protected:
    static std::size_t OffsetOfError(PropertyTable table, const Bytes& bytes,
                                     std::string* message = nullptr) {
        try {
            DecodeLayoutRecord("play", table, bytes);
        } catch (const LayoutRecordError& e) {
            if (message) {
                *message = e.what();
            }
            return e.Offset();
        }
        ADD_FAILURE() << "the record was accepted";
        return SIZE_MAX;
    }
};

TEST_F(LayoutRecordTest, BuilderWritesBigEndianTypedValues) {
    constexpr auto record = RecordBuilder<64>{}
                                .String(0, "play")
                                .Integer(1, INT32_MIN)
                                .Integer(19, 115)
                                .Boolean(23, true)
                                .Colour(22, 255, 1, 2);
    const Bytes expected = {0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 'p',  'l',  'a',  'y',
                            0x00, 0x01, 0x80, 0x00, 0x00, 0x00, 0x00, 0x13, 0x00, 0x00,
                            0x00, 0x73, 0x00, 0x17, 0x01, 0x00, 0x16, 0xFF, 0x01, 0x02};
    EXPECT_EQ(Bytes(record.Bytes().begin(), record.Bytes().end()), expected);
}

TEST_F(LayoutRecordTest, DecodesEveryTypeInRecordOrder) {
    constexpr auto record = RecordBuilder<64>{}
                                .Integer(5, -7)
                                .Colour(22, 10, 20, 30)
                                .String(6, "Larkspool 8")
                                .Boolean(0, true)
                                .String(23, "");
    const auto entries = DecodeLayoutRecord("Window1", WindowProperties(), record.Bytes());
    const std::vector<PropertyEntry> expected = {
        {5, std::int32_t{-7}}, {22, Colour{10, 20, 30}}, {6, std::string("Larkspool 8")}, {0, true},
        {23, std::string()},
    };
    EXPECT_EQ(entries, expected);
}

TEST_F(LayoutRecordTest, EncodeThenDecodeGivesTheSameEntries) {
    const std::vector<PropertyEntry> entries = {
        {32, std::string("start")}, {1, std::int32_t{INT32_MIN}}, {37, false},
        {36, std::int32_t{12}},     {0, std::string("play")},     {23, true},
    };
    const Bytes bytes = EncodeLayoutRecord("play", PushButtonProperties(), entries);
    EXPECT_EQ(DecodeLayoutRecord("play", PushButtonProperties(), bytes), entries);
    EXPECT_EQ(EncodeLayoutRecord("play", PushButtonProperties(),
                                 DecodeLayoutRecord("play", PushButtonProperties(), bytes)),
              bytes);
}

TEST_F(LayoutRecordTest, EncodeRefusesAValueOfTheWrongType) {
    EXPECT_THROW(EncodeLayoutRecord("play", PushButtonProperties(), {{32, true}}),
                 LayoutRecordError);
}

TEST_F(LayoutRecordTest, EmptyRecordHasNoEntries) {
    EXPECT_TRUE(DecodeLayoutRecord("play", PushButtonProperties(), Bytes{}).empty());
}

TEST_F(LayoutRecordTest, TruncatedValueIsRejectedAtItsEntry) {
    // Left 115 with its last byte missing, after a complete Index entry.
    const Bytes bytes = {0x00, 0x01, 0x80, 0x00, 0x00, 0x00, 0x00, 0x13, 0x00, 0x00, 0x00};
    std::string message;
    EXPECT_EQ(OffsetOfError(PushButtonProperties(), bytes, &message), 8u);
    EXPECT_NE(message.find("layout record of play"), std::string::npos) << message;
    EXPECT_NE(message.find("byte 8"), std::string::npos) << message;
    EXPECT_NE(message.find("truncated"), std::string::npos) << message;
}

TEST_F(LayoutRecordTest, HalfAnIndexIsRejected) {
    EXPECT_EQ(OffsetOfError(PushButtonProperties(), Bytes{0x00, 0x17, 0x01, 0x00}), 3u);
}

TEST_F(LayoutRecordTest, UnknownIndexForTheClassIsRejected) {
    // 39 (Underline) exists for a push button but not for a radio button.
    const Bytes bytes = {0x00, 0x17, 0x01, 0x00, 0x27, 0x00};
    EXPECT_NO_THROW(DecodeLayoutRecord("play", PushButtonProperties(), bytes));
    std::string message;
    EXPECT_EQ(OffsetOfError(RadioButtonProperties(), bytes, &message), 3u);
    EXPECT_NE(message.find("unknown property index 39"), std::string::npos) << message;
}

TEST_F(LayoutRecordTest, PropertyThatCannotBeStoredIsRejected) {
    // 6 is the control's Window, an object reference.
    EXPECT_EQ(OffsetOfError(PushButtonProperties(), Bytes{0x00, 0x06, 0, 0, 0, 0}), 0u);
}

TEST_F(LayoutRecordTest, IndexGivenTwiceIsRejectedAtTheSecond) {
    const Bytes bytes = {0x00, 0x17, 0x01, 0x00, 0x12, 0x01, 0x00, 0x17, 0x00};
    std::string message;
    EXPECT_EQ(OffsetOfError(PushButtonProperties(), bytes, &message), 6u);
    EXPECT_NE(message.find("Enabled given twice"), std::string::npos) << message;
}

TEST_F(LayoutRecordTest, StringCountPastTheEndIsRejectedAtTheCount) {
    // Caption claims 6 bytes; 5 follow.
    const Bytes bytes = {0x00, 0x20, 0x00, 0x00, 0x00, 0x06, 's', 't', 'a', 'r', 't'};
    std::string message;
    EXPECT_EQ(OffsetOfError(PushButtonProperties(), bytes, &message), 2u);
    EXPECT_NE(message.find("past the end"), std::string::npos) << message;
}

TEST_F(LayoutRecordTest, HugeStringCountIsRejectedNotAllocated) {
    const Bytes bytes = {0x00, 0x20, 0xFF, 0xFF, 0xFF, 0xFF, 'x'};
    EXPECT_EQ(OffsetOfError(PushButtonProperties(), bytes), 2u);
}

class RecordingTarget final : public LayoutTarget {
  public:
    PropertyTable Properties() const override { return PushButtonProperties(); }
    void SetProperty(std::uint16_t index, const PropertyValue&) override { set.push_back(index); }
    std::vector<std::uint16_t> set;
};

TEST_F(LayoutRecordTest, ApplyCallsSettersInRecordOrder) {
    constexpr auto record =
        RecordBuilder<64>{}.Boolean(23, false).String(32, "stop").Integer(19, 115);
    RecordingTarget target;
    ApplyLayoutRecord(target, "stop", record.Bytes());
    EXPECT_EQ(target.set, (std::vector<std::uint16_t>{23, 32, 19}));
}

TEST_F(LayoutRecordTest, MalformedRecordSetsNothing) {
    Bytes bytes = {0x00, 0x17, 0x01, 0x00, 0x20, 0x00, 0x00, 0x00, 0x09, 'x'};
    RecordingTarget target;
    EXPECT_THROW(ApplyLayoutRecord(target, "stop", bytes), LayoutRecordError);
    EXPECT_TRUE(target.set.empty());
}

TEST_F(LayoutRecordTest, ThreadRecordSetsPriorityAndStackSizeOnly) {
    testing::VirtualLoop loop;
    Thread thread(loop.scheduler(), "Class11");
    thread.Priority = 1;
    thread.StackSize = 4096;
    ThreadLayout target(thread);
    constexpr auto record = RecordBuilder<16>{}.Integer(2, 5).Integer(0, 0);
    ApplyLayoutRecord(target, "Class11", record.Bytes());
    EXPECT_EQ(thread.Priority, 5);
    EXPECT_EQ(thread.StackSize, 0);
    EXPECT_EQ(thread.Name(), "Class11");
    EXPECT_FALSE(thread.IsRunning());
}

TEST_F(LayoutRecordTest, ThreadStateCannotBeSetByARecord) {
    testing::VirtualLoop loop;
    Thread thread(loop.scheduler(), "Class11");
    ThreadLayout target(thread);
    constexpr auto record = RecordBuilder<16>{}.Integer(3, 1);
    EXPECT_THROW(ApplyLayoutRecord(target, "Class11", record.Bytes()), std::invalid_argument);
}

}  // namespace
}  // namespace lark
