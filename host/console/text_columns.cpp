#include "host/console/text_columns.h"

#include <cstdint>

namespace parlino::host {

std::u32string notationOf(char32_t character) {
    if (character < 0x20 || character == 0x7F)
        return {U'^', static_cast<char32_t>(character ^ 0x40)};
    // As visibleText writes code points: four hexadecimal digits at least.
    const auto codePoint = static_cast<std::uint32_t>(character);
    std::u32string notation = U"<U+";
    int shift = 12;
    while (shift < 28 && codePoint >> (shift + 4) != 0)
        shift += 4;
    for (; shift >= 0; shift -= 4)
        notation += U"0123456789ABCDEF"[codePoint >> shift & 0xF];
    return notation + U">";
}

CellPlace RowLayout::placeOf(std::u32string_view text, CellPlace start, std::size_t index) const {
    CellPlace found;
    bool seen = false;
    const auto after = layOut(text, start, [&](const Cell &cell) {
        if (cell.end <= index)
            return true;
        found = cell.place;
        seen = true;
        return false;
    });
    return seen ? found : after;
}

int RowLayout::rowsOf(std::u32string_view text) const {
    int last = 0;
    layOut(text, {}, [&](const Cell &cell) {
        last = cell.place.row;
        return true;
    });
    return last + 1;
}

} // namespace parlino::host
