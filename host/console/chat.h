// `parlino chat`: two people typing to each other through the module's
// actions. One thread receives (each receive waits up to about a second),
// another reads the keyboard and sends at once, and the main thread runs
// the link check that /check asks for, and waits for /quit, the end of
// input or Ctrl-C and then closes the port.
#pragma once

#include "host/core/chat_names.h"
#include "host/core/plugin_host.h"

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

namespace parlino::host {

class Charset;

struct ChatOptions {
    std::uint16_t port = 0;
    PeerAddress peer;
    Charset *charset = nullptr; // of the text on the wire; null is UTF-8
    std::string charsetName = "UTF-8";
};

enum class ChatEnd { quit, endOfInput, interrupted, portNotOpened, actionMissing, failed };

// Runs the chat until it ends; the port is closed whenever it was opened.
ChatEnd runChat(PluginHost &host, const ChatOptions &options, std::istream &in, std::ostream &out,
                std::ostream &err);

} // namespace parlino::host
