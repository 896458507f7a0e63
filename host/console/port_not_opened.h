// What parlino says when the module could not open the chat port: the
// module's message box gives only an error number; this tells what it
// means here and what to do. Said by chat and check alike.
#pragma once

#include "host/core/chat_link.h"

#include <cstdint>
#include <ostream>

namespace parlino::host {

// Writes the reason `opening` found for `port`, and the way out, as one
// line to `err`; nothing when the system could not tell.
void tellPortNotOpened(std::ostream &err, std::uint16_t port, const PortOpening &opening);

} // namespace parlino::host
