// Layout record decoding on arbitrary bytes: it either throws LayoutRecordError or gives
// entries that encode and decode back to themselves. The first byte picks the class table.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ui/LayoutRecord.h"
#include "ui/PropertyTables.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::array<lark::PropertyTable, 5> tables = {
        lark::WindowProperties(), lark::PushButtonProperties(), lark::RadioButtonProperties(),
        lark::ChasingArrowsProperties(), lark::ThreadProperties()};
    const lark::PropertyTable table = tables[data[0] % tables.size()];
    const std::span<const std::uint8_t> record(data + 1, size - 1);
    try {
        const auto entries = lark::DecodeLayoutRecord("fuzz", table, record);
        const auto bytes = lark::EncodeLayoutRecord("fuzz", table, entries);
        if (bytes.size() > record.size() ||
            lark::DecodeLayoutRecord("fuzz", table, bytes) != entries) {
            std::abort();
        }
    } catch (const lark::LayoutRecordError&) {
    }
    return 0;
}
