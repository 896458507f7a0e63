// Columns as a Windows console gives them, from the system's character
// types: two for the East Asian full-width characters (ideographs, kana,
// Hangul, full-width forms), none for a combining mark.
#include "host/console/text_columns.h"

#include <windows.h>

namespace parlino::host {

int columnsOf(char32_t character) {
    if (character < 0x20 || (character >= 0x7F && character < 0xA0))
        return -1;
    if ((character >= 0x1100 && character <= 0x115F) || (character >= 0xAC00 && character <= 0xD7A3) ||
        (character >= 0x20000 && character <= 0x3FFFD))
        return 2;
    if (character >= 0x10000)
        return 1;
    const auto unit = static_cast<wchar_t>(character);
    WORD types = 0;
    if (!::GetStringTypeW(CT_CTYPE3, &unit, 1, &types))
        return 1;
    if ((types & C3_NONSPACING) != 0)
        return 0;
    if ((types & C3_HALFWIDTH) == 0 && (types & (C3_FULLWIDTH | C3_IDEOGRAPH | C3_HIRAGANA | C3_KATAKANA)) != 0)
        return 2;
    return 1;
}

} // namespace parlino::host
