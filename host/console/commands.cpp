// The commands of parlino behind its command line: where the module is
// looked for, and info, run, chat and check.
#include "host/console/commands.h"

#include "host/console/chat.h"
#include "host/console/check.h"
#include "host/console/console_streams.h"
#include "host/core/charset.h"
#include "host/core/exit_codes.h"
#include "host/core/live_output.h"
#include "host/core/module_location.h"
#include "host/core/plugin_host.h"
#include "host/core/publication.h"
#include "host/core/publication_runner.h"
#include "host/core/system.h"
#include "host/core/visible_text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace parlino::host {

std::unique_ptr<PluginHost> loadModule(std::string path) {
    if (path.empty()) {
        std::string looked;
        path = findModuleFile(looked);
        if (path.empty()) {
            std::cerr << "parlino: cannot find the module: not found at " << looked
                      << "; give its path with --module\n";
            return nullptr;
        }
    }
    std::string error;
    auto host = PluginHost::load(path, error);
    if (!host)
        std::cerr << "parlino: cannot use the module " << path << ": " << error << '\n';
    return host;
}

namespace {

// How the file is named to a person: "-" is standard input.
std::string shownName(const std::string &path) { return path == "-" ? "standard input" : path; }

// A publication is a script of lines, not data: a file larger than this
// (a program, a disk image, /dev/zero) is refused before it is parsed, so
// that neither it nor its faults fill the memory.
constexpr std::size_t largestPublication = 512 * 1024;

// "-" is standard input, as for most programs that read a file.
bool readWholeFile(const std::string &path, std::string &text) {
    const bool standardInput = path == "-";
    std::FILE *file = standardInput ? stdin : std::fopen(path.c_str(), "rb");
    // The example publications were once named *.pub and are now *.txt, a
    // name Windows opens as text: the old name reads the renamed file.
    if (file == nullptr && errno == ENOENT && path.ends_with(".pub")) {
        const auto renamed = path.substr(0, path.size() - 4) + ".txt";
        file = std::fopen(renamed.c_str(), "rb");
        if (file == nullptr)
            errno = ENOENT;
    }
    if (file == nullptr) {
        std::cerr << "parlino: cannot read the publication " << path << ": " << std::strerror(errno) << '\n';
        return false;
    }
    // Room for the whole file at once, so that a long one is not held in a
    // buffer of up to twice its size.
    std::error_code notRegular;
    if (const auto size = std::filesystem::file_size(path, notRegular); !notRegular && !standardInput)
        text.reserve(static_cast<std::size_t>(std::min<std::uintmax_t>(size, largestPublication + 1)));
    const auto close = [&] {
        if (!standardInput)
            std::fclose(file);
    };
    char buffer[4096];
    std::size_t got;
    while (text.size() <= largestPublication && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, got);
    if (text.size() > largestPublication) {
        close();
        std::cerr << "parlino: the publication " << shownName(path) << " is larger than 512 KB (524,288 bytes): "
                  << "it is no publication, or one to split into several\n";
        return false;
    }
    const bool failed = std::ferror(file) != 0;
    // Such as "Is a directory": a folder opens on Linux, but cannot be read.
    const int reason = errno;
    close();
    if (failed)
        std::cerr << "parlino: cannot read the publication " << shownName(path) << ": " << std::strerror(reason)
                  << '\n';
    return !failed;
}

} // namespace

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

namespace {

class ModuleEnvironment : public PublicationEnvironment {
  public:
    ModuleEnvironment(PluginHost &host, Charset &charset) : host_(host), charset_(charset) {}
    void runAction(std::int32_t number, const std::string &parameter) override { host_.execute(number, parameter); }
    // A pause ends early when the run is interrupted.
    void pause(std::uint32_t milliseconds) override {
        for (std::uint32_t slept = 0; slept < milliseconds && !system::interruptRequested(); slept += 20)
            system::sleepMilliseconds(std::min<std::uint32_t>(20, milliseconds - slept));
    }
    bool keepRunning() override { return !system::interruptRequested(); }
    std::string decodedForPrint(std::string_view text) override { return charset_.toUtf8(text); }

  private:
    PluginHost &host_;
    Charset &charset_;
};

} // namespace

int runFile(const std::string &modulePath, const std::string &path, const std::vector<std::string> &settings,
            bool checkOnly, Charset &charset) {
    std::string text;
    if (!readWholeFile(path, text))
        return exit_code::publicationInvalid;
    const auto host = loadModule(modulePath);
    if (!host)
        return exit_code::moduleUnusable;
    std::vector<PublicationError> errors;
    const auto publication = parsePublication(std::move(text), host->actions(), errors);
    const auto name = shownName(path);
    // A file that is no publication at all (a program, a picture) would
    // fill the screen many times over.
    constexpr std::size_t mostFaultsShown = 10;
    for (std::size_t i = 0; i < errors.size() && i < mostFaultsShown; ++i)
        std::cerr << name << ":" << errors[i].line << ": " << visibleText(errors[i].message) << '\n';
    if (errors.size() > mostFaultsShown)
        std::cerr << "parlino: " << errors.size() - mostFaultsShown << " more faults in " << name
                  << " not shown\n";
    if (!errors.empty()) {
        std::cerr << "parlino: " << name << " was not run\n";
        return exit_code::publicationInvalid;
    }
    if (checkOnly) {
        std::cerr << name << ": ok\n";
        return exit_code::success;
    }
    for (const auto &setting : settings) {
        const auto equals = setting.find('=');
        host->variables().set(setting.substr(0, equals), setting.substr(equals + 1));
    }
    ModuleEnvironment environment(*host, charset);
    // Ctrl-C, SIGTERM or a hang-up stop the run between two lines, its
    // printed lines written out, and the module unloaded.
    system::catchInterrupt();
    RunOutcome outcome;
    {
        // Printed lines leave in batches, each within a few tens of milliseconds,
        // and all of them before a message about the run goes to stderr.
        LiveOutput output(std::cout);
        outcome = runPublication(publication, host->variables(), environment, output.stream());
    }
    if (outcome.finished)
        return exit_code::success;
    if (system::interruptRequested())
        return system::interruptExitCode();
    // A fail line's text may hold values that came from the network.
    std::cerr << name << ":" << outcome.line << ": " << visibleText(environment.decodedForPrint(outcome.message))
              << '\n';
    return exit_code::publicationStopped;
}

// ---- chat ----

namespace {

// A host name given as --peer, looked up to its address; false once the
// reason is on standard error.
bool lookUpPeer(PeerAddress &peer) {
    if (isDottedIpv4(peer.address))
        return true;
    std::string error;
    const auto address = system::resolveIpv4(peer.address, error);
    if (address.empty()) {
        std::cerr << "parlino: cannot find the IPv4 address of " << peer.address << ": " << error << '\n';
        return false;
    }
    peer.name = peer.address;
    peer.address = address;
    return true;
}

} // namespace

int chatCommand(const std::string &modulePath, std::uint16_t port, PeerAddress peer, Charset &charset,
         const std::string &charsetName) {
    if (!lookUpPeer(peer))
        return exit_code::usage;
    const auto host = loadModule(modulePath);
    if (!host)
        return exit_code::moduleUnusable;
    switch (runChat(*host, {port, peer, &charset, charsetName}, std::cin, std::cout, std::cerr)) {
    case ChatEnd::quit:
    case ChatEnd::endOfInput:
        return exit_code::success;
    case ChatEnd::interrupted:
        return system::interruptExitCode();
    case ChatEnd::portNotOpened:
        return exit_code::portNotOpened;
    case ChatEnd::actionMissing:
        return exit_code::moduleUnusable;
    case ChatEnd::failed:
        return exit_code::internalFailure;
    }
    return exit_code::success;
}

// ---- check ----

int checkCommand(const std::string &modulePath, std::uint16_t port, PeerAddress peer, int seconds, int waitSeconds,
                 Charset &charset, const std::string &charsetName) {
    if (!lookUpPeer(peer))
        return exit_code::usage;
    const auto host = loadModule(modulePath);
    if (!host)
        return exit_code::moduleUnusable;
    CheckOptions options{port, peer, &charset, charsetName, std::chrono::seconds(seconds),
                         std::chrono::seconds(waitSeconds)};
    switch (runCheck(*host, options, std::cout, std::cerr)) {
    case CheckEnd::bothWays:
        return exit_code::success;
    case CheckEnd::trouble:
        return exit_code::linkTrouble;
    case CheckEnd::interrupted:
        return system::interruptExitCode();
    case CheckEnd::portNotOpened:
        return exit_code::portNotOpened;
    case CheckEnd::actionMissing:
        return exit_code::moduleUnusable;
    case CheckEnd::failed:
        return exit_code::internalFailure;
    }
    return exit_code::internalFailure;
}

} // namespace parlino::host
