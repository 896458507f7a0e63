// `parlino check`: the link check from a terminal. It opens the port as the
// chat does, lets a LinkCheckSession send and take probes (one thread
// receives, the main thread sends), and ends with what it saw and, on the
// last line, the verdict.
#pragma once

#include "host/core/chat_names.h"
#include "host/core/plugin_host.h"

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace parlino::host {

class Charset;

struct CheckOptions {
    std::uint16_t port = 0;
    PeerAddress peer;           // a dotted address, and the name it was looked up from
    Charset *charset = nullptr; // of the text on the wire; null is UTF-8
    std::string charsetName = "UTF-8";
    std::chrono::seconds exchange{5};
    std::chrono::seconds wait{60};
};

enum class CheckEnd { bothWays, trouble, interrupted, portNotOpened, actionMissing, failed };

// Runs the check to its verdict; the port is closed whenever it was opened.
CheckEnd runCheck(PluginHost &host, const CheckOptions &options, std::ostream &out, std::ostream &err);

} // namespace parlino::host
