// UTF-8 read and written a code point at a time, for what lays text out
// character by character (the chat's screens) and for visibleText.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace parlino::host {

// The length of the well-formed UTF-8 sequence at the start of `text` (not
// empty), and its code point; 0 when the first byte starts none (a stray
// continuation byte, an overlong form, a surrogate, a cut sequence).
std::size_t readUtf8(std::string_view text, std::uint32_t &codePoint);

// The code points of `text`; each byte that starts no well-formed sequence
// becomes U+FFFD.
std::u32string utf32FromUtf8(std::string_view text);

void appendUtf8(std::string &out, char32_t codePoint);
std::string utf8FromUtf32(std::u32string_view text);

} // namespace parlino::host
