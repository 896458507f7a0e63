// parlino: the reference host of the chat module. It lists the module's
// actions (info), plays publications (run), chats from a terminal (chat)
// and checks the link to another machine (check).
#include "host/console/commands.h"
#include "host/console/console_streams.h"
#include "host/console/console_window.h"
#include "host/console/chat_screen.h"
#include "host/console/exit_code_help.h"
#include "host/core/charset.h"
#include "host/core/chat_names.h"
#include "host/core/exit_codes.h"
#include "host/core/host_variables.h"

#include "chat/number_text.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parlino::host {
namespace {

const std::string versionText = "parlino " PARLINO_VERSION;

const std::string exitCodeHelp =
    std::string("Exit codes: 0 done; 1 the publication stopped (fail, or a fault while running), or the "
                "link check's verdict is not both ways; "
                "2 wrong command line; 3 the module cannot be used; 4 the publication file is "
                "missing, faulty or too large; 5 the chat port could not be opened; 70 internal failure; ") +
    interruptExitCodeHelp;

const std::string chatHelp =
    std::string(chatScreenKeys) +
    " Enter sends the line; an empty line sends the time of day. /check checks the link to the other side as "
    "parlino check does, while the chat goes on: its lines start with \"check:\", its verdict last (the other side "
    "types /check too, or runs parlino check). /quit leaves; Ctrl-C leaves at once and sends nothing of the line "
    "being typed.\n"
    "A line is sent up to its first \"|\", the module's field separator, and at most 65,507 bytes of it "
    "(one datagram): a longer line is not sent. On a pipe, each line read is sent.\n\n";

const std::string commandNames[] = {"info", "run", "chat", "check"};

const std::string checkHelp =
    "Run it on both machines, in either order, within the --wait time of each other. It opens the port as a "
    "publication does, exchanges numbered probe lines with the other side's check, and ends with what it saw and, "
    "on its last line, the verdict: which side, what cause, and the one thing to do.\n\n"
    "Exit codes: 0 lines cross both ways; 1 any other verdict; 2 wrong command line; 3 the module cannot be used; "
    "5 the port could not be opened; 70 internal failure; 128+signal when interrupted: 129 hang-up, 130 Ctrl-C, "
    "143 SIGTERM.";

// The number of single-letter edits from one word to the other.
std::size_t editDistance(const std::string &from, const std::string &to) {
    std::vector<std::size_t> row(to.size() + 1);
    for (std::size_t j = 0; j <= to.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= from.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= to.size(); ++j) {
            const auto above = row[j];
            const bool same = std::tolower(static_cast<unsigned char>(from[i - 1])) == to[j - 1];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[to.size()];
}

// The option of `command` one or two edits away from `word` (--prot,
// --Port), as "--port"; empty when there is none.
std::string closestOption(const CLI::App &command, const std::string &word) {
    std::string closest;
    std::size_t distance = 3;
    if (word.rfind("--", 0) != 0)
        return closest;
    for (const auto *option : command.get_options())
        for (const auto &name : option->get_lnames())
            if (const auto d = editDistance(word.substr(2), name); d < distance && d > 0)
                distance = d, closest = "--" + name;
    return closest;
}

// The first word that is neither an option nor the value of --module or
// --charset, when it names no command: told with the closest command.
bool refuseUnknownCommand(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--module" || word == "--charset") {
            ++i;
            continue;
        }
        if (word.empty() || word[0] == '-')
            continue;
        std::string closest;
        std::size_t distance = 3; // further than two edits is no suggestion
        for (const auto &name : commandNames) {
            if (name == word)
                return false;
            if (const auto d = editDistance(word, name); d < distance)
                distance = d, closest = name;
        }
        std::cerr << "parlino: unknown command \"" << word << "\"";
        if (!closest.empty())
            std::cerr << "; did you mean \"" << closest << "\"?";
        std::cerr << "\nThe commands are info, run, chat and check; parlino --help tells more.\n";
        return true;
    }
    return false;
}

void addCommonOptions(CLI::App &command, std::string &modulePath) {
    command.set_version_flag("--version", versionText);
    const auto folders = moduleFolders();
    // The installation's folder as seen from parlino's, such as ../lib.
    const auto installed = folders[1].substr(folders[0].size(), folders[1].size() - folders[0].size() - 1);
    // Relative folders only: the help, and the manual page made from it,
    // must not carry the folder the program was built or installed in.
    command.add_option("--module", modulePath,
                       "The chat module to load. Without it parlino looks for " PARLINO_MODULE_FILE_NAME
                       " in its own folder, then in " +
                           installed + " beside it")
        ->type_name("PATH");
    command.footer(exitCodeHelp);
}

void addCharsetOption(CLI::App &command, std::string &charsetName) {
    command.add_option("--charset", charsetName,
                       "The character set of the text on the wire: UTF-8 (the default), or the code page of "
                       "the other side, such as CP1252")
        ->type_name("NAME");
}

// --port, as chat and check take it.
void addPortOption(CLI::App &command, std::string &portText) {
    command.add_option("--port", portText, "The local UDP port to open, 1 to 65535")
        ->required()
        ->type_name("PORT")
        ->check(CLI::Validator(
            [](std::string &text) -> std::string {
                return parsePortNumber(text) ? std::string()
                                             : "the port must be a decimal number from 1 to 65535, not \"" +
                                                   text + "\"";
            },
            ""));
}

// --peer, as chat and check take it.
void addPeerOption(CLI::App &command, std::string &peerText) {
    command
        .add_option("--peer", peerText,
                    "The other side: its IPv4 address (four decimal numbers) or host name (looked up first) "
                    "and its port, such as 127.0.0.1:40002 or localhost:40002")
        ->required()
        ->type_name("HOST:PORT")
        ->check(CLI::Validator(
            [](std::string &text) -> std::string {
                if (parsePeerHost(text))
                    return {};
                // Read with the module's own rule: what it would send to.
                const auto host = text.substr(0, std::min(text.rfind(':'), text.size()));
                if (!host.empty() && std::isdigit(static_cast<unsigned char>(host[0])) && !isDottedIpv4(host))
                    return "the module reads the address \"" + host + "\" as " +
                           addressToText(textToAddress(host)) +
                           ": give it as four decimal numbers 0 to 255, such as 127.0.0.1";
                return "expected ADDRESS:PORT or NAME:PORT such as 127.0.0.1:40001 (a dotted IPv4 address or a "
                       "host name, a decimal port 1 to 65535), not \"" + text + "\"";
            },
            ""));
}

void addSecondsOption(CLI::App &command, const std::string &name, std::string &text, int least,
                      const std::string &description) {
    command.add_option(name, text, description)
        ->type_name("SECONDS")
        ->check(CLI::Validator(
            [least](std::string &value) -> std::string {
                return parseSeconds(value, least) ? std::string()
                                                  : "give a whole number of seconds from " + std::to_string(least) +
                                                        " to 600, not \"" + value + "\"";
            },
            ""));
}

int run(int argc, char **argv) {
    prepareConsole();
    CLI::App app{"parlino - the reference host of the Parlino chat module", "parlino"};
    // Options are --name on every platform, so that a path such as /tmp/a.pub
    // is a path under wine too. Subcommands take this setting from the app.
    app.allow_windows_style_options(false);
    app.require_subcommand(1);

    std::string modulePath;
    std::string charsetName = "UTF-8";
    // --module is taken before the command too.
    addCommonOptions(app, modulePath);

    auto *info = app.add_subcommand("info", "Show the module's title, author line, description and actions");
    addCommonOptions(*info, modulePath);

    std::string publicationPath;
    std::vector<std::string> settings;
    bool checkOnly = false;
    auto *runCommand = app.add_subcommand("run", "Check a publication file, then play it");
    addCommonOptions(*runCommand, modulePath);
    addCharsetOption(*runCommand, charsetName);
    runCommand->add_option("FILE", publicationPath, "The publication to play; - reads standard input")->required();
    runCommand
        ->add_option("--set", settings, "Give a variable its first value (repeatable, once for each NAME)")
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

    std::string portText;
    std::string peerText;
    auto *chatCommand = app.add_subcommand("chat", "Chat with another parlino from this terminal");
    addCommonOptions(*chatCommand, modulePath);
    chatCommand->footer(chatHelp + exitCodeHelp);
    addCharsetOption(*chatCommand, charsetName);
    addPortOption(*chatCommand, portText);
    addPeerOption(*chatCommand, peerText);

    std::string secondsText = "5";
    std::string waitText = "60";
    auto *checkCommand = app.add_subcommand("check", "Check the link to another machine: run it on both");
    addCommonOptions(*checkCommand, modulePath);
    checkCommand->footer(checkHelp);
    addCharsetOption(*checkCommand, charsetName);
    addPortOption(*checkCommand, portText);
    addPeerOption(*checkCommand, peerText);
    addSecondsOption(*checkCommand, "--seconds", secondsText, 1,
                     "How long probes cross once the other side's check answers (default 5)");
    addSecondsOption(*checkCommand, "--wait", waitText, 0,
                     "How long to wait for the other side's check to answer (default 60; at least 5)");

    if (refuseUnknownCommand(argc, argv))
        return exit_code::usage;
    // Words parlino does not know, named in the order given, with the
    // option meant when one is a near miss; false when there are none.
    const auto nameStrayWords = [&] {
        for (const auto *command : {&app, info, runCommand, chatCommand, checkCommand})
            if (auto words = command->remaining(); !words.empty()) {
                // The parser keeps them from the last one back.
                std::reverse(words.begin(), words.end());
                app.exit(CLI::ExtrasError(words));
                for (const auto &word : words)
                    if (const auto meant = closestOption(*command, word); !meant.empty()) {
                        std::cerr << "parlino: " << word << ": did you mean " << meant << "?\n";
                        break;
                    }
                return true;
            }
        return false;
    };
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success &success) {
        return app.exit(success);
    } catch (const CLI::RequiredError &error) {
        // A word parlino does not know displaced the option that is missing
        // (-p for --port, a port given without --port): that word is what
        // to name.
        if (!nameStrayWords())
            app.exit(error);
        return exit_code::usage;
    } catch (const CLI::ExtrasError &error) {
        if (!nameStrayWords())
            app.exit(error);
        return exit_code::usage;
    } catch (const CLI::ArgumentMismatch &error) {
        for (const auto *command : {info, runCommand, chatCommand, checkCommand})
            for (const auto *option : command->get_options())
                if (option->get_items_expected_max() == 1 && option->count() > 1) {
                    std::cerr << "parlino: " << option->get_name() << " is given " << option->count()
                              << " times; give it once\nRun with --help for more information.\n";
                    return exit_code::usage;
                }
        app.exit(error);
        return exit_code::usage;
    } catch (const CLI::ParseError &error) {
        app.exit(error);
        return exit_code::usage;
    }

    // A second value for one variable would silently win over the first.
    for (std::size_t i = 0; i < settings.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (const auto name = settings[i].substr(0, settings[i].find('='));
                name == settings[j].substr(0, settings[j].find('='))) {
                std::cerr << "parlino: --set " << name << " is given twice (" << settings[j] << ", " << settings[i]
                          << "); give each variable once\nRun with --help for more information.\n";
                return exit_code::usage;
            }

    std::string error;
    const auto charset = openCharset(charsetName, error);
    if (!charset) {
        std::cerr << "parlino: --charset: " << error << '\n';
        return exit_code::usage;
    }
    if (info->parsed())
        return showInfo(modulePath);
    if (runCommand->parsed())
        return runFile(modulePath, publicationPath, settings, checkOnly, *charset);
    if (checkCommand->parsed())
        return host::checkCommand(modulePath, *parsePortNumber(portText), *parsePeerHost(peerText),
                                  *parseSeconds(secondsText, 1), *parseSeconds(waitText, 0), *charset, charsetName);
    return host::chatCommand(modulePath, *parsePortNumber(portText), *parsePeerHost(peerText), *charset, charsetName);
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
