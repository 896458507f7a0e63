#include "host/window/settings.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace parlino::host {
namespace {

// The folder, or empty when Windows names no application data folder.
std::wstring settingsFolder() {
    wchar_t appData[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::wstring(appData, length) + L"\\Parlino";
}

std::wstring settingsFile(const std::wstring &folder) { return folder + L"\\ParlinoChat.txt"; }

} // namespace

RememberedChat loadRememberedChat() {
    RememberedChat chat;
    const auto folder = settingsFolder();
    if (folder.empty())
        return chat;
    std::FILE *file = ::_wfopen(settingsFile(folder).c_str(), L"rb");
    if (file == nullptr)
        return chat;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, file) != nullptr) {
        std::string line = buffer;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const auto name = line.substr(0, equals), value = line.substr(equals + 1);
        if (name == "port")
            chat.port = parsePortNumber(value);
        else if (name == "peer")
            chat.peer = parsePeerAddress(value);
    }
    std::fclose(file);
    return chat;
}

void saveRememberedChat(const RememberedChat &chat) {
    const auto folder = settingsFolder();
    if (folder.empty())
        return;
    ::CreateDirectoryW(folder.c_str(), nullptr);
    std::FILE *file = ::_wfopen(settingsFile(folder).c_str(), L"wb");
    if (file == nullptr)
        return;
    std::fputs("# The last chat of ParlinoChat.exe, read when it starts.\r\n", file);
    if (chat.port)
        std::fprintf(file, "port=%u\r\n", static_cast<unsigned>(*chat.port));
    if (chat.peer)
        std::fprintf(file, "peer=%s:%u\r\n", chat.peer->address.c_str(), static_cast<unsigned>(chat.peer->port));
    std::fclose(file);
}

} // namespace parlino::host
