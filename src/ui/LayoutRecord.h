#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace lark {

// Layout records: an object's initial properties as stored bytes. Each entry is a 2-byte
// big-endian property index into the object's class property table, then the value typed by
// that table: boolean 1 byte, integer 4 bytes big-endian, string a 4-byte count and the bytes,
// colour 3 bytes. No entry count, no terminator: the record's length ends it.

enum class PropertyType : std::uint8_t { Boolean, Integer, String, Colour, Unstored };

struct Colour {
    std::uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const Colour&, const Colour&) = default;
};

using PropertyValue = std::variant<bool, std::int32_t, std::string, Colour>;

struct PropertyInfo {
    std::string_view name;
    PropertyType type;
};
using PropertyTable = std::span<const PropertyInfo>;

struct PropertyEntry {
    std::uint16_t index = 0;
    PropertyValue value;
    friend bool operator==(const PropertyEntry&, const PropertyEntry&) = default;
};

// A record that does not fit its class: says which object and at which byte it went wrong.
class LayoutRecordError : public std::runtime_error {
  public:
    LayoutRecordError(std::string_view object, std::size_t offset, const std::string& what);
    std::size_t Offset() const { return offset_; }

  private:
    std::size_t offset_;
};

// Rejects a truncated value, an index the table does not have or cannot store, an index
// given twice and a string count past the end. Never reads past the end of the bytes.
std::vector<PropertyEntry> DecodeLayoutRecord(std::string_view object, PropertyTable table,
                                              std::span<const std::uint8_t> record);

// The inverse of DecodeLayoutRecord; throws LayoutRecordError for entries it could not decode.
std::vector<std::uint8_t> EncodeLayoutRecord(std::string_view object, PropertyTable table,
                                             const std::vector<PropertyEntry>& entries);

// An object whose properties a record can set, each through its ordinary setter.
class LayoutTarget {
  public:
    virtual ~LayoutTarget() = default;
    virtual PropertyTable Properties() const = 0;
    // Throws std::invalid_argument for a property the object cannot set.
    virtual void SetProperty(std::uint16_t index, const PropertyValue& value) = 0;
};

// Decodes the whole record first, so a malformed one sets nothing; then sets each entry in
// record order.
void ApplyLayoutRecord(LayoutTarget& target, std::string_view object,
                       std::span<const std::uint8_t> record);

// Builds a record at compile time, so stored records are written out as values in the source
// and still come out as the same bytes everywhere. Capacity is the byte limit.
template <std::size_t Capacity>
class RecordBuilder {
  public:
    constexpr RecordBuilder& Boolean(std::uint16_t index, bool value) {
        Index(index);
        Byte(value ? 1 : 0);
        return *this;
    }
    constexpr RecordBuilder& Integer(std::uint16_t index, std::int32_t value) {
        Index(index);
        Word(static_cast<std::uint32_t>(value));
        return *this;
    }
    constexpr RecordBuilder& String(std::uint16_t index, std::string_view text) {
        Index(index);
        Word(static_cast<std::uint32_t>(text.size()));
        for (char c : text) {
            Byte(static_cast<std::uint8_t>(c));
        }
        return *this;
    }
    constexpr RecordBuilder& Colour(std::uint16_t index, std::uint8_t r, std::uint8_t g,
                                    std::uint8_t b) {
        Index(index);
        Byte(r);
        Byte(g);
        Byte(b);
        return *this;
    }
    constexpr std::span<const std::uint8_t> Bytes() const { return {bytes_.data(), size_}; }
    constexpr std::size_t Size() const { return size_; }
    constexpr std::uint8_t operator[](std::size_t i) const { return bytes_[i]; }

  private:
    constexpr void Byte(std::uint8_t b) {
        if (size_ == Capacity) {
            throw std::length_error("layout record over capacity");  // a compile error
        }
        bytes_[size_++] = b;
    }
    constexpr void Index(std::uint16_t index) {
        Byte(static_cast<std::uint8_t>(index >> 8));
        Byte(static_cast<std::uint8_t>(index));
    }
    constexpr void Word(std::uint32_t w) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            Byte(static_cast<std::uint8_t>(w >> shift));
        }
    }

    std::array<std::uint8_t, Capacity> bytes_{};
    std::size_t size_ = 0;
};

// Typed access to a decoded value; throws std::invalid_argument on the wrong type.
bool AsBoolean(const PropertyValue& value);
std::int32_t AsInteger(const PropertyValue& value);
const std::string& AsString(const PropertyValue& value);
Colour AsColour(const PropertyValue& value);

}  // namespace lark
