// Columns as the C library's wcwidth gives them in the UTF-8 locale that
// the chat's screen sets: the same table terminals on Linux draw by.
#include "host/console/text_columns.h"

#include <cwchar>

namespace parlino::host {

int columnsOf(char32_t character) { return ::wcwidth(static_cast<wchar_t>(character)); }

} // namespace parlino::host
