#include "host/console/check.h"

#include "host/console/port_not_opened.h"
#include "host/core/charset.h"
#include "host/core/chat_link.h"
#include "host/core/link_check_session.h"
#include "host/core/system.h"

#include <algorithm>
#include <atomic>
#include <memory>

namespace parlino::host {
namespace {

// The longest the main thread sleeps between its looks at Ctrl-C.
constexpr auto longestSleep = std::chrono::milliseconds(20);

} // namespace

CheckEnd runCheck(PluginHost &host, const CheckOptions &options, std::ostream &out, std::ostream &err) {
    std::string error;
    std::unique_ptr<Charset> utf8;
    if (options.charset == nullptr)
        utf8 = openCharset("UTF-8", error);
    ChatLink link(host, options.charset != nullptr ? *options.charset : *utf8,
                  options.charset != nullptr ? options.charsetName : "UTF-8");
    if (!link.findActions(error)) {
        err << "parlino: " << error << '\n';
        return CheckEnd::actionMissing;
    }
    const auto port = std::to_string(options.port);
    const auto peer = options.peer.address + ":" + std::to_string(options.peer.port);
    out << host.texts().title << " link check on port " << port << " with " << peer
        << (options.peer.name.empty() ? "" : " (" + options.peer.name + ")") << '\n';
    const auto myAddress = link.myAddress();
    out << "my address: " << myAddress << '\n';
    const auto opening = link.open(options.port);
    out << "open port " << port << ": " << (opening.status.empty() ? "no status" : opening.status) << '\n'
        << std::flush;
    if (!opening.opened) {
        tellPortNotOpened(err, options.port, opening);
        return CheckEnd::portNotOpened;
    }
    link.setPeer(options.peer.address, options.peer.port);

    LinkCheckSession session(link, {options.peer, options.port, myAddress, options.exchange, options.wait});
    if (!session.finished())
        out << session.waitingNote(checkCommandThere(session.settings())) << '\n' << std::flush;

    system::catchInterrupt();
    std::atomic<bool> receiving{true};
    std::atomic<bool> receiveFailed{false};
    system::Thread receiver([&] {
        try {
            while (receiving.load())
                session.take(link.receive());
        } catch (...) {
            receiveFailed.store(true);
        }
    });
    if (!receiver.started()) {
        err << "parlino: cannot start the check's receiving thread\n";
        receiveFailed.store(true);
    }
    for (;;) {
        for (const auto &note : session.tick())
            out << note << '\n' << std::flush;
        if (session.finished() || system::interruptRequested() || receiveFailed.load())
            break;
        const auto pause = std::clamp(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          session.nextTickAt() - CheckClock::now()),
                                      std::chrono::milliseconds(1), longestSleep);
        system::sleepMilliseconds(static_cast<std::uint32_t>(pause.count()));
    }

    receiving.store(false);
    // A receive waits up to about a second; a datagram of our own ends it.
    ChatLink::wakeReceive(options.port);
    receiver.join();
    link.close();
    out << "port " << port << " closed\n";
    if (receiveFailed.load()) {
        err << "parlino: the check cannot receive; it ends\n";
        return CheckEnd::failed;
    }
    const auto report = session.report();
    for (const auto &line : report.seen)
        out << line << '\n';
    out << report.verdictText << '\n' << std::flush;
    if (system::interruptRequested())
        return CheckEnd::interrupted;
    return report.exitCode() == 0 ? CheckEnd::bothWays : CheckEnd::trouble;
}

} // namespace parlino::host
