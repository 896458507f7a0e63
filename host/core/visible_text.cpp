#include "host/core/visible_text.h"

#include "host/core/utf8.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace parlino::host {
namespace {

constexpr char hexDigits[] = "0123456789ABCDEF";

// Characters that are valid but are not seen, or steer how the text around
// them reads: with them "exe.txt" can be made to read "txt.exe", two
// different texts look the same, or text hides in a line (Hangul fillers,
// tag characters, soft hyphens). Unicode names them itself: what may be
// ignored when drawn (Default_Ignorable_Code_Point), the format characters
// (Cf), and the line and paragraph separators, which end a line for some
// programs and not for others.
struct CodePointRange {
    std::uint32_t first, last;
};
constexpr CodePointRange invisibleCharacters[] = {
#include "host/core/invisible_characters.inc"
};

bool isInvisible(std::uint32_t codePoint) {
    const auto after = std::upper_bound(std::begin(invisibleCharacters), std::end(invisibleCharacters), codePoint,
                                        [](std::uint32_t c, const CodePointRange &range) { return c < range.first; });
    return after != std::begin(invisibleCharacters) && codePoint <= std::prev(after)->last;
}

// Code points Unicode keeps out of text for good (U+FDD0 to U+FDEF and the
// last two of every plane): no font draws them, and programs use them as
// markers of their own.
bool isNoncharacter(std::uint32_t codePoint) {
    return (codePoint >= 0xFDD0 && codePoint <= 0xFDEF) || (codePoint & 0xFFFE) == 0xFFFE;
}

bool isControl(std::uint32_t codePoint) { return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F); }

// A character a person sees as a mark of its own.
bool isVisible(std::uint32_t codePoint) {
    return !isControl(codePoint) && !isInvisible(codePoint) && !isNoncharacter(codePoint) && codePoint != ' ';
}

constexpr std::uint32_t zeroWidthNonJoiner = 0x200C, zeroWidthJoiner = 0x200D;

// Variation selectors choose how the character before them is drawn (an
// emoji in colour, a form of an ideograph).
bool isVariationSelector(std::uint32_t codePoint) {
    return (codePoint >= 0x180B && codePoint <= 0x180D) || codePoint == 0x180F ||
           (codePoint >= 0xFE00 && codePoint <= 0xFE0F) || (codePoint >= 0xE0100 && codePoint <= 0xE01EF);
}

void appendCodePointText(std::string &shown, std::uint32_t codePoint) {
    shown += "<U+";
    int shift = 12;
    while (shift < 20 && codePoint >> (shift + 4) != 0)
        shift += 4;
    for (; shift >= 0; shift -= 4)
        shown += hexDigits[(codePoint >> shift) & 0xF];
    shown += '>';
}

} // namespace

bool shownAsItself(char32_t character) {
    const auto codePoint = static_cast<std::uint32_t>(character);
    return codePoint == '\t' ||
           (!isControl(codePoint) && !isInvisible(codePoint) && !isNoncharacter(codePoint) && codePoint <= 0x10FFFF &&
            !(codePoint >= 0xD800 && codePoint <= 0xDFFF));
}

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

std::string visibleText(std::string_view text, ControlNotation notation) {
    std::string shown;
    shown.reserve(text.size());
    // What was written last as itself: a visible character, and whether it
    // was a variation selector.
    bool afterVisible = false, afterSelector = false;
    while (!text.empty()) {
        std::uint32_t codePoint = 0;
        const auto length = readUtf8(text, codePoint);
        if (length == 0) {
            shown += undecodedByteText(static_cast<unsigned char>(text[0]));
            text.remove_prefix(1);
            afterVisible = afterSelector = false;
            continue;
        }
        // The joiners are kept between two visible characters, where emoji
        // sequences and several scripts need them; one variation selector
        // is kept after a visible character. Anywhere else they hide.
        bool kept = !isInvisible(codePoint) && !isNoncharacter(codePoint);
        if (codePoint == zeroWidthNonJoiner || codePoint == zeroWidthJoiner) {
            // Only what follows within the text counts: the byte after its
            // end belongs to something else.
            const auto rest = text.substr(length);
            std::uint32_t next = 0;
            kept = afterVisible && !rest.empty() && readUtf8(rest, next) != 0 && isVisible(next);
        } else if (isVariationSelector(codePoint)) {
            kept = afterVisible && !afterSelector;
        }
        if (((codePoint < 0x20 && codePoint != '\t') || codePoint == 0x7F) && notation == ControlNotation::caret) {
            shown += '^';
            shown += static_cast<char>(codePoint ^ 0x40);
        } else if ((isControl(codePoint) && codePoint != '\t') || !kept) {
            appendCodePointText(shown, codePoint);
        } else {
            shown.append(text.substr(0, length));
        }
        afterSelector = kept && isVariationSelector(codePoint);
        afterVisible = kept && (isVisible(codePoint) || afterSelector);
        text.remove_prefix(length);
    }
    return shown;
}

} // namespace parlino::host
