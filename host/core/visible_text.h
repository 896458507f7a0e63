// How text that came from outside (a datagram, a variable filled from one,
// a file) is shown to a person: every byte that could steer a terminal is
// written as visible characters, and valid UTF-8 stays itself.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace parlino::host {

// How the C0 controls and DEL are written: ^[ as a terminal user knows
// them, or <U+001B> like every other code point shown.
enum class ControlNotation { caret, codePoint };

// C0 controls other than tab, and DEL, in caret form (ESC as ^[, DEL as ^?)
// or as <U+001B>, as `notation` says;
// C1 controls (U+0080 to U+009F) as <U+009B>, and so the invisible
// characters that reorder or hide text (Unicode's default ignorable and
// format characters, and U+2028, U+2029: see invisible_characters.inc) and
// the noncharacters (U+FDD0 to U+FDEF, U+FFFE, U+FFFF and the like) as
// <U+202E> or <U+E0041>, except a zero width joiner or non-joiner between
// two visible characters and one variation selector after a visible one;
// each byte that is not part of valid UTF-8 (a lone 0x9B, an overlong
// form, a surrogate, a cut sequence) as \x9B. Tab is kept.
std::string visibleText(std::string_view text, ControlNotation notation = ControlNotation::caret);

// Whether visibleText shows this character as itself wherever it stands:
// false for the controls but tab, the invisible characters and the
// noncharacters (and for the joiners and variation selectors, which it
// keeps only beside visible characters).
bool shownAsItself(char32_t character);

// Whether all of `text` is well-formed UTF-8.
bool isUtf8(std::string_view text);

// Where to cut `text` at or just before `at` (below its size) so as not to
// split a UTF-8 character: `at` moved back over up to three continuation bytes.
std::size_t utf8CutBefore(std::string_view text, std::size_t at);

// The notation of one byte that does not decode: \x9B.
std::string undecodedByteText(unsigned char byte);

} // namespace parlino::host
