#include "host/core/charset.h"

#include "host/core/system.h"
#include "host/core/visible_text.h"

#include <algorithm>

namespace parlino::host {
namespace {

class Utf8Charset : public Charset {
  public:
    std::string toUtf8(std::string_view wire, bool &undecodable) override {
        undecodable = !isUtf8(wire);
        return std::string(wire);
    }
    std::string fromUtf8(std::string_view utf8) override { return std::string(utf8); }
};

bool namesUtf8(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return name == "utf-8" || name == "utf8" || name == "cp65001";
}

} // namespace

std::unique_ptr<Charset> openCharset(const std::string &name, std::string &error) {
    if (namesUtf8(name))
        return std::make_unique<Utf8Charset>();
    auto charset = system::openSystemCharset(name, error);
    // The module reads every text up to its first zero byte: in such a set
    // (UTF-16, UTF-32) every line would be cut after its first character.
    if (charset && charset->fromUtf8("A").find('\0') != std::string::npos) {
        error = "\"" + name + "\" writes characters with zero bytes, where the module ends a text; "
                "choose UTF-8 or a code page of the other side, such as CP1252";
        return nullptr;
    }
    return charset;
}

} // namespace parlino::host
