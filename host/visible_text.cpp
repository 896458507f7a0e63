#include "host/visible_text.h"

#include <cstdint>

namespace parlino::host {
namespace {

constexpr char hexDigits[] = "0123456789ABCDEF";

// The length of the well-formed UTF-8 sequence at the start of `text`, and
// its code point; 0 when the first byte does not start one.
std::size_t readUtf8(std::string_view text, std::uint32_t &codePoint) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length;
    std::uint32_t lowest;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, lowest = 0x80, codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, lowest = 0x800, codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, lowest = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        codePoint = codePoint << 6 | (next & 0x3F);
    }
    if (codePoint < lowest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

// Characters that are valid but steer how the text around them reads
// without being seen: the bidirectional marks, embeddings, overrides and
// isolates (with which "exe.txt" can be made to read "txt.exe"), the other
// invisible format characters of U+2060 to U+206F, and the zero width
// space and U+FEFF, which make two different texts look the same. The zero
// width joiner and non-joiner are kept: emoji sequences and several scripts
// need them to be drawn right.
bool isHiddenFormatting(std::uint32_t codePoint) {
    return codePoint == 0x061C || codePoint == 0x200B || codePoint == 0x200E || codePoint == 0x200F ||
           (codePoint >= 0x202A && codePoint <= 0x202E) || (codePoint >= 0x2060 && codePoint <= 0x206F) ||
           codePoint == 0xFEFF;
}

void appendCodePointText(std::string &shown, std::uint32_t codePoint) {
    shown += "<U+";
    for (int shift = 12; shift >= 0; shift -= 4)
        shown += hexDigits[(codePoint >> shift) & 0xF];
    shown += '>';
}

} // namespace

bool isUtf8(std::string_view text) {
    while (!text.empty()) {
        std::uint32_t codePoint = 0;
        const auto length = readUtf8(text, codePoint);
        if (length == 0)
            return false;
        text.remove_prefix(length);
    }
    return true;
}

std::size_t utf8CutBefore(std::string_view text, std::size_t at) {
    const std::size_t limit = at >= 3 ? at - 3 : 0;
    while (at > limit && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
        --at;
    return at;
}

std::string undecodedByteText(unsigned char byte) {
    return {'\\', 'x', hexDigits[byte >> 4], hexDigits[byte & 0xF]};
}

std::string visibleText(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    while (!text.empty()) {
        std::uint32_t codePoint = 0;
        const auto length = readUtf8(text, codePoint);
        if (length == 0) {
            shown += undecodedByteText(static_cast<unsigned char>(text[0]));
            text.remove_prefix(1);
            continue;
        }
        if ((codePoint < 0x20 && codePoint != '\t') || codePoint == 0x7F) {
            shown += '^';
            shown += static_cast<char>(codePoint ^ 0x40);
        } else if ((codePoint >= 0x80 && codePoint <= 0x9F) || isHiddenFormatting(codePoint)) {
            appendCodePointText(shown, codePoint);
        } else {
            shown.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return shown;
}

} // namespace parlino::host
