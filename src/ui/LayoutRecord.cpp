#include "ui/LayoutRecord.h"

#include <limits>

namespace lark {
namespace {

const char* TypeName(PropertyType type) {
    switch (type) {
        case PropertyType::Boolean:
            return "boolean";
        case PropertyType::Integer:
            return "integer";
        case PropertyType::String:
            return "string";
        case PropertyType::Colour:
            return "colour";
        case PropertyType::Unstored:
            break;
    }
    return "unstored";
}

class Reader {
  public:
    Reader(std::string_view object, std::span<const std::uint8_t> bytes)
        : object_(object), bytes_(bytes) {}

    bool AtEnd() const { return pos_ == bytes_.size(); }
    std::size_t Pos() const { return pos_; }

    void Need(std::size_t count, const char* what) const {
        if (bytes_.size() - pos_ < count) {
            throw LayoutRecordError(object_, pos_,
                                    std::string("truncated ") + what + ": needs " +
                                        std::to_string(count) + " bytes, " +
                                        std::to_string(bytes_.size() - pos_) + " left");
        }
    }
    std::uint8_t Byte() { return bytes_[pos_++]; }
    std::uint16_t Half(const char* what) {
        Need(2, what);
        const std::uint16_t hi = Byte();
        return static_cast<std::uint16_t>(hi << 8 | Byte());
    }
    std::uint32_t Word(const char* what) {
        Need(4, what);
        std::uint32_t w = 0;
        for (int i = 0; i < 4; ++i) {
            w = w << 8 | Byte();
        }
        return w;
    }
    std::string Text(std::size_t count) {
        std::string text(reinterpret_cast<const char*>(bytes_.data() + pos_), count);
        pos_ += count;
        return text;
    }

  private:
    std::string_view object_;
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

template <typename T>
const T& As(const PropertyValue& value, const char* type) {
    if (const T* v = std::get_if<T>(&value)) {
        return *v;
    }
    throw std::invalid_argument(std::string("property value is not a ") + type);
}

bool Matches(PropertyType type, const PropertyValue& value) {
    switch (type) {
        case PropertyType::Boolean:
            return std::holds_alternative<bool>(value);
        case PropertyType::Integer:
            return std::holds_alternative<std::int32_t>(value);
        case PropertyType::String:
            return std::holds_alternative<std::string>(value);
        case PropertyType::Colour:
            return std::holds_alternative<Colour>(value);
        case PropertyType::Unstored:
            break;
    }
    return false;
}

}  // namespace

LayoutRecordError::LayoutRecordError(std::string_view object, std::size_t offset,
                                     const std::string& what)
    : std::runtime_error("layout record of " + std::string(object) + ", byte " +
                         std::to_string(offset) + ": " + what),
      offset_(offset) {}

std::vector<PropertyEntry> DecodeLayoutRecord(std::string_view object, PropertyTable table,
                                              std::span<const std::uint8_t> record) {
    std::vector<PropertyEntry> entries;
    std::vector<bool> seen(table.size(), false);
    Reader in(object, record);
    while (!in.AtEnd()) {
        const std::size_t at = in.Pos();
        const std::uint16_t index = in.Half("property index");
        if (index >= table.size()) {
            throw LayoutRecordError(object, at, "unknown property index " + std::to_string(index));
        }
        const PropertyInfo& info = table[index];
        if (info.type == PropertyType::Unstored) {
            throw LayoutRecordError(object, at,
                                    "property " + std::string(info.name) + " cannot be stored");
        }
        if (seen[index]) {
            throw LayoutRecordError(object, at,
                                    "property " + std::string(info.name) + " given twice");
        }
        seen[index] = true;
        PropertyEntry entry{index, {}};
        switch (info.type) {
            case PropertyType::Boolean:
                in.Need(1, "boolean value");
                entry.value = in.Byte() != 0;
                break;
            case PropertyType::Integer:
                entry.value = static_cast<std::int32_t>(in.Word("integer value"));
                break;
            case PropertyType::String: {
                const std::size_t countAt = in.Pos();
                const std::uint32_t count = in.Word("string count");
                if (count > record.size() - in.Pos()) {
                    throw LayoutRecordError(object, countAt,
                                            "string count " + std::to_string(count) +
                                                " runs past the end of the record");
                }
                entry.value = in.Text(count);
                break;
            }
            case PropertyType::Colour:
                in.Need(3, "colour value");
                entry.value = Colour{in.Byte(), in.Byte(), in.Byte()};
                break;
            case PropertyType::Unstored:
                break;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<std::uint8_t> EncodeLayoutRecord(std::string_view object, PropertyTable table,
                                             const std::vector<PropertyEntry>& entries) {
    std::vector<std::uint8_t> out;
    std::vector<bool> seen(table.size(), false);
    const auto word = [&out](std::uint32_t w) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            out.push_back(static_cast<std::uint8_t>(w >> shift));
        }
    };
    for (const PropertyEntry& entry : entries) {
        const std::size_t at = out.size();
        if (entry.index >= table.size() || table[entry.index].type == PropertyType::Unstored ||
            seen[entry.index]) {
            throw LayoutRecordError(object, at,
                                    "cannot store property index " + std::to_string(entry.index));
        }
        const PropertyInfo& info = table[entry.index];
        if (!Matches(info.type, entry.value)) {
            throw LayoutRecordError(object, at,
                                    std::string(info.name) + " takes a " + TypeName(info.type));
        }
        seen[entry.index] = true;
        out.push_back(static_cast<std::uint8_t>(entry.index >> 8));
        out.push_back(static_cast<std::uint8_t>(entry.index));
        if (const bool* b = std::get_if<bool>(&entry.value)) {
            out.push_back(*b ? 1 : 0);
        } else if (const std::int32_t* i = std::get_if<std::int32_t>(&entry.value)) {
            word(static_cast<std::uint32_t>(*i));
        } else if (const std::string* s = std::get_if<std::string>(&entry.value)) {
            if (s->size() > std::numeric_limits<std::uint32_t>::max()) {
                throw LayoutRecordError(object, at, "string too long");
            }
            word(static_cast<std::uint32_t>(s->size()));
            out.insert(out.end(), s->begin(), s->end());
        } else {
            const Colour& c = std::get<Colour>(entry.value);
            out.insert(out.end(), {c.red, c.green, c.blue});
        }
    }
    return out;
}

void ApplyLayoutRecord(LayoutTarget& target, std::string_view object,
                       std::span<const std::uint8_t> record) {
    for (const PropertyEntry& entry : DecodeLayoutRecord(object, target.Properties(), record)) {
        target.SetProperty(entry.index, entry.value);
    }
}

bool AsBoolean(const PropertyValue& value) {
    return As<bool>(value, "boolean");
}
std::int32_t AsInteger(const PropertyValue& value) {
    return As<std::int32_t>(value, "integer");
}
const std::string& AsString(const PropertyValue& value) {
    return As<std::string>(value, "string");
}
Colour AsColour(const PropertyValue& value) {
    return As<Colour>(value, "colour");
}

}  // namespace lark
