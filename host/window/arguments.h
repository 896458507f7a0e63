// ParlinoChat's command line, as a shortcut gives it:
//   ParlinoChat.exe [--port N] [--peer ADDRESS:PORT] [--charset NAME] [--module PATH]
//                   [--check-seconds N] [--check-wait N]
// With --port the port opens as soon as the window shows.
#pragma once

#include "host/core/chat_names.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace parlino::host {

struct WindowArguments {
    std::optional<std::uint16_t> port;
    std::optional<PeerAddress> peer;
    std::string charsetName = "UTF-8";
    std::wstring modulePath; // empty: looked for beside the program, then in ..\lib
    // Check link: how long probes cross once the check there answers, and
    // how long to wait for it to answer (as parlino check's --seconds and --wait).
    std::chrono::seconds checkSeconds{5};
    std::chrono::seconds checkWait{60};
};

// The words after the program's name, as Windows splits its command line
// (UTF-16, so that no character is lost to the ANSI code page).
std::vector<std::wstring> commandLineWords();

// Reads the words; false with what is wrong in `error`. Each option is
// given as "--name value" or "--name=value".
bool parseWindowArguments(const std::vector<std::wstring> &words, WindowArguments &arguments, std::string &error);

// The options, as a message box shows them.
extern const char *const windowArgumentsHelp;

} // namespace parlino::host
