#include "host/core/utf8.h"

namespace parlino::host {

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

std::u32string utf32FromUtf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    while (!text.empty()) {
        std::uint32_t codePoint = 0;
        const auto length = readUtf8(text, codePoint);
        out += length == 0 ? U'\uFFFD' : static_cast<char32_t>(codePoint);
        text.remove_prefix(length == 0 ? 1 : length);
    }
    return out;
}

void appendUtf8(std::string &out, char32_t codePoint) {
    const auto c = static_cast<std::uint32_t>(codePoint);
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string utf8FromUtf32(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const auto c : text)
        appendUtf8(out, c);
    return out;
}

} // namespace parlino::host
