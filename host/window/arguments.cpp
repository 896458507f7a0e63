#include "host/window/arguments.h"

#include "host/core/win32/wide_text.h"

#include <shellapi.h>
#include <windows.h>

#include <optional>

namespace parlino::host {

const char *const windowArgumentsHelp =
    "ParlinoChat.exe [--port N] [--peer ADDRESS:PORT] [--charset NAME] [--module PATH] [--check-seconds N] "
    "[--check-wait N]\n\n"
    "--port N: the local port, 1 to 65535; the port opens at once.\n"
    "--peer ADDRESS:PORT: where lines go, such as 192.168.1.21:40001.\n"
    "--charset NAME: the other side's character set, such as cp1252 (default UTF-8).\n"
    "--module PATH: the chat module (default: Parlino.dll beside ParlinoChat.exe, or in ..\\lib).\n"
    "--check-seconds N: how long Check link lets probes cross once the check there answers, 1 to 600 "
    "(default 5).\n"
    "--check-wait N: how long Check link waits for the check there to answer, 0 to 600 (default 60; at "
    "least 5).";

std::vector<std::wstring> commandLineWords() {
    std::vector<std::wstring> words;
    int count = 0;
    wchar_t **list = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (list == nullptr)
        return words;
    for (int i = 1; i < count; ++i)
        words.emplace_back(list[i]);
    ::LocalFree(list);
    return words;
}

bool parseWindowArguments(const std::vector<std::wstring> &words, WindowArguments &arguments, std::string &error) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::wstring name = words[i], value;
        const auto equals = name.find(L'=');
        if (equals != std::wstring::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        } else if (name.rfind(L"--", 0) == 0 && i + 1 < words.size()) {
            value = words[++i];
        } else if (name.rfind(L"--", 0) == 0) {
            error = system::utf8FromWide(name.c_str(), static_cast<int>(name.size())) + " needs a value";
            return false;
        }
        const auto text = system::utf8FromWide(value.c_str(), static_cast<int>(value.size()));
        if (name == L"--port") {
            arguments.port = parsePortNumber(text);
            if (!arguments.port) {
                error = "--port " + text + ": give a port from 1 to 65535";
                return false;
            }
        } else if (name == L"--peer") {
            arguments.peer = parsePeerAddress(text);
            if (!arguments.peer) {
                error = "--peer " + text + ": give the other side's IPv4 address and port, such as 192.168.1.21:40001";
                return false;
            }
        } else if (name == L"--charset") {
            arguments.charsetName = text;
        } else if (name == L"--module") {
            arguments.modulePath = value;
        } else if (name == L"--check-seconds" || name == L"--check-wait") {
            const bool exchange = name == L"--check-seconds";
            const auto seconds = parseSeconds(text, exchange ? 1 : 0);
            if (!seconds) {
                error = (exchange ? "--check-seconds " : "--check-wait ") + text +
                        ": give a whole number of seconds from " + (exchange ? "1" : "0") + " to 600";
                return false;
            }
            (exchange ? arguments.checkSeconds : arguments.checkWait) = std::chrono::seconds(*seconds);
        } else {
            error = "unknown option " + system::utf8FromWide(name.c_str(), static_cast<int>(name.size()));
            return false;
        }
    }
    return true;
}

} // namespace parlino::host
