// What the window remembers for the person who uses it: the last local port
// and peer, in %APPDATA%\Parlino\ParlinoChat.txt, a small text file of
// "name=value" lines (UTF-8) that Notepad shows.
#pragma once

#include "host/core/chat_names.h"

#include <cstdint>
#include <optional>

namespace parlino::host {

struct RememberedChat {
    std::optional<std::uint16_t> port;
    std::optional<PeerAddress> peer;
};

// What was remembered; nothing for a value that is missing or not valid.
RememberedChat loadRememberedChat();
// Writes the file, making the folder when needed; a failure is ignored
// (the window works without it).
void saveRememberedChat(const RememberedChat &chat);

} // namespace parlino::host
