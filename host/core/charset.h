// The character set of the text on the wire, chosen with --charset: UTF-8
// unless the other side sends its own code page, as a Windows host may.
// Inside parlino all text is UTF-8; it is converted at the edge.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace parlino::host {

class Charset {
  public:
    virtual ~Charset() = default;
    // Wire text as UTF-8. A byte that does not decode becomes visible as
    // \x81 (see visibleText); nothing is dropped. UTF-8 passes unchanged,
    // so that visibleText judges it. `undecodable` tells whether some byte
    // was not valid in the set (for UTF-8: whether the text is not UTF-8).
    virtual std::string toUtf8(std::string_view wire, bool &undecodable) = 0;
    std::string toUtf8(std::string_view wire) {
        bool undecodable = false;
        return toUtf8(wire, undecodable);
    }
    // UTF-8 as wire text; a character that the set lacks becomes "?".
    virtual std::string fromUtf8(std::string_view utf8) = 0;
};

// UTF-8 by any of its usual names, else what the system converts (glibc's
// iconv names on Linux, code pages such as cp1252 on Windows). Null with a
// reason when the name is not known. Each direction may be used by one
// thread at a time.
std::unique_ptr<Charset> openCharset(const std::string &name, std::string &error);

} // namespace parlino::host
