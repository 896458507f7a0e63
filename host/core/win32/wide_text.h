// UTF-8 to UTF-16 and back, as the Windows API's wide functions want them.
#pragma once

#include <windows.h>

#include <string>

namespace parlino::host::system {

inline std::wstring wideFromUtf8(const char *text, int length) {
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text, length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    if (size > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, text, length, wide.data(), size);
    return wide;
}

inline std::string utf8FromWide(const wchar_t *text, int length) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

inline std::wstring wideFromUtf8(const std::string &text) {
    return wideFromUtf8(text.data(), static_cast<int>(text.size()));
}

inline std::string utf8FromWide(const std::wstring &text) {
    return utf8FromWide(text.data(), static_cast<int>(text.size()));
}

} // namespace parlino::host::system
