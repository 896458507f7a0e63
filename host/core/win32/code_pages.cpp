// The character sets of the wire that Windows converts: its code pages.
#include "host/core/system.h"

#include "host/core/charset.h"
#include "host/core/visible_text.h"
#include "host/core/win32/wide_text.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace parlino::host::system {

namespace {

// A Windows code page: cp1252, windows-1252, iso-8859-15 or just 1252.
UINT codePageNamed(std::string name) {
    for (auto &c : name)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    unsigned offset = 0;
    std::string digits = name;
    for (const char *prefix : {"cp", "windows-", "ibm"})
        if (name.rfind(prefix, 0) == 0)
            digits = name.substr(std::strlen(prefix));
    if (name.rfind("iso-8859-", 0) == 0)
        digits = name.substr(9), offset = 28590;
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    const UINT page = static_cast<UINT>(std::strtoul(digits.c_str(), nullptr, 10) + offset);
    return ::IsValidCodePage(page) ? page : 0;
}

class CodePageCharset : public Charset {
  public:
    explicit CodePageCharset(UINT page) : page_(page) {}

    // As long a piece as decodes at once; where a byte does not decode,
    // the shortest piece that does, else the byte shown visibly.
    std::string toUtf8(std::string_view wire, bool &undecodable) override {
        undecodable = false;
        std::string out;
        while (!wire.empty()) {
            std::size_t length = decodes(wire.data(), wire.size()) ? wire.size() : 0;
            for (std::size_t tried = 1; length == 0 && tried <= 4 && tried <= wire.size(); ++tried)
                if (decodes(wire.data(), tried))
                    length = tried;
            if (length == 0) {
                undecodable = true;
                out += undecodedByteText(static_cast<unsigned char>(wire[0]));
                wire.remove_prefix(1);
                continue;
            }
            const auto size = ::MultiByteToWideChar(page_, MB_ERR_INVALID_CHARS, wire.data(),
                                                    static_cast<int>(length), nullptr, 0);
            std::wstring wide(static_cast<std::size_t>(size), L'\0');
            ::MultiByteToWideChar(page_, MB_ERR_INVALID_CHARS, wire.data(), static_cast<int>(length),
                                  wide.data(), size);
            out += utf8FromWide(wide.data(), size);
            wire.remove_prefix(length);
        }
        return out;
    }

    std::string fromUtf8(std::string_view utf8) override {
        if (utf8.empty())
            return {};
        const auto wide = wideFromUtf8(utf8.data(), static_cast<int>(utf8.size()));
        const int size = ::WideCharToMultiByte(page_, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                               "?", nullptr);
        std::string out(static_cast<std::size_t>(size), '\0');
        if (size > 0)
            ::WideCharToMultiByte(page_, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size, "?",
                                  nullptr);
        return out;
    }

  private:
    bool decodes(const char *text, std::size_t length) const {
        return ::MultiByteToWideChar(page_, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), nullptr, 0) > 0;
    }

    UINT page_;
};

} // namespace

std::unique_ptr<Charset> openSystemCharset(const std::string &name, std::string &error) {
    const UINT page = codePageNamed(name);
    if (page == 0) {
        error = "unknown character set \"" + name + "\" (try UTF-8, CP1252, CP850, ISO-8859-15)";
        return nullptr;
    }
    return std::make_unique<CodePageCharset>(page);
}

} // namespace parlino::host::system
