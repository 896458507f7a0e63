// The commands of parlino, each returning its exit code (exit_codes.h).
#pragma once

#include "host/core/chat_names.h"
#include "host/core/module_location.h"
#include "host/core/plugin_host.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace parlino::host {

class Charset;

// The module at `path`, or found in moduleFolders() when `path` is empty;
// null once the reason is on standard error.
std::unique_ptr<PluginHost> loadModule(std::string path);

int showInfo(const std::string &modulePath);
int runFile(const std::string &modulePath, const std::string &path, const std::vector<std::string> &settings,
            bool checkOnly, Charset &charset);
int chatCommand(const std::string &modulePath, std::uint16_t port, PeerAddress peer, Charset &charset,
                const std::string &charsetName);
int checkCommand(const std::string &modulePath, std::uint16_t port, PeerAddress peer, int seconds, int waitSeconds,
                 Charset &charset, const std::string &charsetName);

} // namespace parlino::host
