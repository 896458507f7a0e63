// How text that came from outside (a datagram, a variable filled from one,
// a file) is shown to a person: every byte that could steer a terminal is
// written as visible characters, and valid UTF-8 stays itself.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace parlino::host {

// C0 controls other than tab, and DEL, in caret form (ESC as ^[, DEL as ^?);
// C1 controls (U+0080 to U+009F) as <U+009B>, and so the invisible
// characters that reorder or hide text (bidirectional overrides and
// isolates U+202A to U+202E and U+2066 to U+2069, marks, zero width space,
// word joiner, U+FEFF) as <U+202E>; each byte that is not part of
// valid UTF-8 (a lone 0x9B, an overlong form, a surrogate, a cut sequence)
// as \x9B. Tab is kept.
std::string visibleText(std::string_view text);

// Whether all of `text` is well-formed UTF-8.
bool isUtf8(std::string_view text);

// Where to cut `text` at or just before `at` (below its size) so as not to
// split a UTF-8 character: `at` moved back over up to three continuation bytes.
std::size_t utf8CutBefore(std::string_view text, std::size_t at);

// The notation of one byte that does not decode: \x9B.
std::string undecodedByteText(unsigned char byte);

} // namespace parlino::host
