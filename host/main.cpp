// parlino: the reference host of the chat module. It lists the module's
// actions (info), plays publications (run) and chats from a terminal (chat).
#include "host/chat.h"
#include "host/console_window.h"
#include "host/exit_codes.h"
#include "host/plugin_host.h"
#include "host/publication.h"
#include "host/publication_runner.h"
#include "host/system.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace parlino::host {
namespace {

const std::string versionText = "parlino " PARLINO_VERSION;

// The module beside the executable, else where an installation puts it.
std::string defaultModulePath() {
    const auto folder = system::executableDirectory();
    const std::string beside = folder + PARLINO_MODULE_FILE_NAME;
    if (std::FILE *file = std::fopen(beside.c_str(), "rb")) {
        std::fclose(file);
        return beside;
    }
    const std::string installed = folder + PARLINO_INSTALLED_MODULE_FOLDER "/" PARLINO_MODULE_FILE_NAME;
    if (std::FILE *file = std::fopen(installed.c_str(), "rb")) {
        std::fclose(file);
        return installed;
    }
    return beside;
}

std::unique_ptr<PluginHost> loadModule(const std::string &path) {
    std::string error;
    auto host = PluginHost::load(path, error);
    if (!host)
        std::cerr << "parlino: cannot use the module " << path << ": " << error << '\n';
    return host;
}

bool readWholeFile(const std::string &path, std::string &text) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        std::cerr << "parlino: cannot read the publication " << path << ": " << std::strerror(errno) << '\n';
        return false;
    }
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        std::cerr << "parlino: cannot read the publication " << path << '\n';
    return !failed;
}

// ---- info ----

int showInfo(const std::string &modulePath) {
    const auto host = loadModule(modulePath);
    if (!host)
        return exit_code::moduleUnusable;
    const auto &texts = host->texts();
    std::cout << texts.title << '\n'
              << "  author:      " << texts.author << '\n'
              << "  description: " << texts.description << '\n'
              << "  module:      " << host->path() << "\n\n"
              << "Actions (number, name, parameter type and count, description):\n";
    for (const auto &action : host->actions()) {
        std::cout << "  " << action.number << "  " << action.name << "  (" << action.parameterType << ", "
                  << action.parameterCount << (action.parameterCount == 1 ? " parameter" : " parameters")
                  << ")\n";
        // A description of two lines is separated by CR LF.
        std::string_view rest = action.description;
        while (!rest.empty()) {
            auto end = rest.find('\n');
            auto line = rest.substr(0, end);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            std::cout << "       " << line << '\n';
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        }
    }
    return exit_code::success;
}

// ---- run ----

class ModuleEnvironment : public PublicationEnvironment {
  public:
    explicit ModuleEnvironment(PluginHost &host) : host_(host) {}
    void runAction(std::int32_t number, const std::string &parameter) override { host_.execute(number, parameter); }
    void pause(std::uint32_t milliseconds) override { system::sleepMilliseconds(milliseconds); }

  private:
    PluginHost &host_;
};

int runFile(const std::string &modulePath, const std::string &path, const std::vector<std::string> &settings,
            bool checkOnly) {
    std::string text;
    if (!readWholeFile(path, text))
        return exit_code::publicationInvalid;
    const auto host = loadModule(modulePath);
    if (!host)
        return exit_code::moduleUnusable;
    std::vector<PublicationError> errors;
    const auto publication = parsePublication(text, host->actions(), errors);
    for (const auto &error : errors)
        std::cerr << path << ":" << error.line << ": " << error.message << '\n';
    if (!errors.empty()) {
        std::cerr << "parlino: " << path << " was not run\n";
        return exit_code::publicationInvalid;
    }
    if (checkOnly) {
        std::cerr << path << ": ok\n";
        return exit_code::success;
    }
    for (const auto &setting : settings) {
        const auto equals = setting.find('=');
        host->variables().set(setting.substr(0, equals), setting.substr(equals + 1));
    }
    ModuleEnvironment environment(*host);
    const auto outcome = runPublication(publication, host->variables(), environment, std::cout);
    if (outcome.finished)
        return exit_code::success;
    std::cerr << path << ":" << outcome.line << ": " << outcome.message << '\n';
    return exit_code::publicationStopped;
}

// ---- chat ----

int chat(const std::string &modulePath, std::uint16_t port, const PeerAddress &peer) {
    const auto host = loadModule(modulePath);
    if (!host)
        return exit_code::moduleUnusable;
    switch (runChat(*host, {port, peer}, std::cin, std::cout, std::cerr)) {
    case ChatEnd::quit:
    case ChatEnd::endOfInput:
        return exit_code::success;
    case ChatEnd::interrupted:
        return exit_code::interrupted;
    case ChatEnd::portNotOpened:
        return exit_code::portNotOpened;
    case ChatEnd::actionMissing:
        return exit_code::moduleUnusable;
    case ChatEnd::failed:
        return exit_code::internalFailure;
    }
    return exit_code::success;
}

const char *exitCodeHelp = "Exit codes: 0 done; 1 the publication stopped (fail, or a fault while running); "
                           "2 wrong command line; 3 the module cannot be used; 4 the publication file is "
                           "missing or faulty; 5 the chat port could not be opened; 70 internal failure; 130 interrupted.";

void addCommonOptions(CLI::App &command, std::string &modulePath) {
    command.set_version_flag("--version", versionText);
    command.add_option("--module", modulePath, "The chat module to load")
        ->type_name("PATH")
        ->default_str("the " PARLINO_MODULE_FILE_NAME " beside parlino");
    command.footer(exitCodeHelp);
}

int run(int argc, char **argv) {
    CLI::App app{"parlino - the reference host of the Parlino chat module", "parlino"};
    // Options are --name on every platform, so that a path such as /tmp/a.pub
    // is a path under wine too. Subcommands take this setting from the app.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", versionText);
    app.footer(exitCodeHelp);
    app.require_subcommand(1);

    std::string modulePath;

    auto *info = app.add_subcommand("info", "Show the module's title, author line, description and actions");
    addCommonOptions(*info, modulePath);

    std::string publicationPath;
    std::vector<std::string> settings;
    bool checkOnly = false;
    auto *runCommand = app.add_subcommand("run", "Check a publication file, then play it");
    addCommonOptions(*runCommand, modulePath);
    runCommand->add_option("FILE", publicationPath, "The publication to play")->required();
    runCommand
        ->add_option("--set", settings, "Give a variable its first value (repeatable)")
        ->type_name("NAME=VALUE")
        ->check(CLI::Validator(
            [](std::string &text) -> std::string {
                const auto equals = text.find('=');
                if (equals == std::string::npos || !isVariableName(text.substr(0, equals)))
                    return "expected NAME=VALUE with a NAME of letters, digits and underscores";
                return {};
            },
            ""));
    runCommand->add_flag("--check", checkOnly, "Only check the file; run nothing");

    int port = 0;
    std::string peerText;
    auto *chatCommand = app.add_subcommand("chat", "Chat with another parlino from this terminal");
    addCommonOptions(*chatCommand, modulePath);
    chatCommand->add_option("--port", port, "The local UDP port to open")->required()->check(CLI::Range(1, 65535));
    chatCommand->add_option("--peer", peerText, "The other side's IPv4 address and port")
        ->required()
        ->type_name("ADDRESS:PORT")
        ->check(CLI::Validator(
            [](std::string &text) -> std::string {
                return parsePeerAddress(text) ? std::string()
                                              : "expected ADDRESS:PORT such as 127.0.0.1:40001 (dotted "
                                                "IPv4 address, port 1 to 65535)";
            },
            ""));

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success &success) {
        return app.exit(success);
    } catch (const CLI::ParseError &error) {
        app.exit(error);
        return exit_code::usage;
    }

    if (modulePath.empty())
        modulePath = defaultModulePath();
    if (info->parsed())
        return showInfo(modulePath);
    if (runCommand->parsed())
        return runFile(modulePath, publicationPath, settings, checkOnly);
    return chat(modulePath, static_cast<std::uint16_t>(port), *parsePeerAddress(peerText));
}

} // namespace
} // namespace parlino::host

int main(int argc, char **argv) {
    // Double-clicked, parlino explains how to use it rather than flash and vanish.
    if (parlino::host::introduceWhenDoubleClicked(argc))
        return 0;
    try {
        return parlino::host::run(argc, argv);
    } catch (const std::exception &error) {
        std::cerr << "parlino: " << error.what() << '\n';
    } catch (...) {
        std::cerr << "parlino: unexpected failure\n";
    }
    return parlino::host::exit_code::internalFailure;
}
