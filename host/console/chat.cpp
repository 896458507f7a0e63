#include "host/console/chat.h"

#include "host/core/chat_link.h"

#include "host/core/charset.h"
#include "host/core/link_check_session.h"
#include "host/console/chat_screen.h"
#include "host/console/console_streams.h"
#include "host/console/port_not_opened.h"
#include "host/core/system.h"
#include "host/core/visible_text.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlino::host {
namespace {

constexpr std::uint32_t watchInterval = 50; // ms the keyboard thread waits for a key between looks
// ms between the main thread's looks at the end conditions and at a link
// check's next probe: short, so that Ctrl-C ends the chat at once.
constexpr std::uint32_t endCheckInterval = 5;

// The link check that /check runs: probes cross as long as with
// `parlino check`, once the other side answers; the wait for that is short
// enough for a chat to hear its verdict soon, long enough for the person
// there to type /check or start `parlino check`.
constexpr auto chatCheckExchange = std::chrono::seconds(5);
constexpr auto chatCheckWait = std::chrono::seconds(15);
// Probes of the other side's check that arrive while none runs here are
// not shown; one line says so, and says it again after this long without
// any.
constexpr auto probesQuietFor = std::chrono::seconds(10);

// What the three threads share. Held by shared_ptr: the keyboard thread may
// still be blocked reading when the chat ends, and is left to the process end.
struct ChatSession {
    ChatLink link;
    const ChatOptions options;
    std::string myAddress; // what my-IP gave
    std::ostream &out;
    std::ostream &err;
    // On a terminal: the conversation, with the typed line kept below it.
    std::unique_ptr<ChatScreen> screen;
    system::Mutex outputLock;
    // What was said before the screen opened, for the screen to show too;
    // kept until then only.
    std::vector<std::string> saidBefore;
    bool screenTried = false;
    std::atomic<bool> receiving{true};
    std::atomic<bool> quitTyped{false};
    std::atomic<bool> inputEnded{false};
    std::atomic<bool> receiveFailed{false};
    std::atomic<bool> keyboardDone{false};
    std::atomic<bool> stopEditing{false};
    std::atomic<bool> checkAsked{false};
    // The link check that runs, if any: made, ticked and ended by the main
    // thread, shown each received line by the receiver.
    system::Mutex checkLock;
    std::shared_ptr<LinkCheckSession> check; // under checkLock
    // Receiver thread only:
    bool charsetHintGiven = false;
    std::optional<CheckClock::time_point> lastProbeAt;

    ChatSession(PluginHost &host, const ChatOptions &chatOptions, std::ostream &output, std::ostream &errors,
                Charset &charset)
        : link(host, charset, chatOptions.charset != nullptr ? chatOptions.charsetName : "UTF-8"),
          options(chatOptions), out(output), err(errors) {}

    void say(const std::string &line) {
        system::ScopedLock lock(outputLock);
        if (screen) {
            screen->showLine(line);
            return;
        }
        out << line << '\n' << std::flush;
        if (!screenTried)
            saidBefore.push_back(line);
    }

    void warn(const std::string &line) {
        system::ScopedLock lock(outputLock);
        if (screen) {
            screen->showLine(line, true);
            return;
        }
        err << line << '\n' << std::flush;
        if (!screenTried)
            saidBefore.push_back(line);
    }

    void send(std::string line) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto prepared = link.prepare(line);
        if (prepared.barInsideCharacter) {
            warn("parlino: that line was not sent: in " + link.charsetName() +
                 " one of its characters holds the byte of \"|\", where the module would cut the line");
            return;
        }
        if (prepared.cutAtBar)
            warn("parlino: a chat line ends at \"|\": the text after it is not sent");
        if (!link.send(prepared))
            return;
        // After the module's own message, which names only an error number.
        if (prepared.tooLong)
            warn("parlino: that line was not sent: it is " + std::to_string(prepared.wire.size()) +
                 " bytes long, more than one datagram carries (65,507 bytes); send it as shorter lines");
    }

    void receiveUntilStopped() {
        try {
            while (receiving.load()) {
                const auto line = link.receive();
                if (!line.arrived || isProbe(line))
                    continue;
                say("[" + system::timeOfDayText() + "] < " + line.shown);
                if (line.undecodable && !charsetHintGiven) {
                    charsetHintGiven = true;
                    const auto &name = link.charsetName();
                    warn("parlino: that line holds bytes that are not valid " + name +
                         " (shown as \\xE9 and the like): the other side may use another character set, which "
                         "--charset sets, such as --charset " + (name == "UTF-8" ? "cp1252" : "UTF-8"));
                }
            }
        } catch (...) {
            // Out of memory for a line: end the chat rather than go on deaf.
            receiveFailed.store(true);
        }
    }

    // A typed line: false when it ends the chat (/quit), or when Ctrl-C
    // came first: the line it abandoned is never sent.
    bool typed(std::string line);

    std::shared_ptr<LinkCheckSession> runningCheck() {
        system::ScopedLock lock(checkLock);
        return check;
    }

    // True for a probe of a link check, which is not shown: the running
    // check takes it, or, when none runs, one line tells that the other
    // side checks the link.
    bool isProbe(const ReceivedLine &line) {
        const auto now = CheckClock::now();
        bool taken = false;
        if (const auto session = runningCheck())
            taken = session->take(line, now);
        if (!taken) {
            const auto probe = parseProbe(line.shown);
            if (!probe)
                return false;
            if (!lastProbeAt || now - *lastProbeAt >= probesQuietFor)
                say("check: a link check at " + endpointText(probe->from) +
                    " sends its probes here (not shown): type /check to answer it");
        }
        lastProbeAt = now;
        return true;
    }

    // /check, from the main thread.
    void startCheck() {
        if (runningCheck()) {
            say("check: a link check runs already; its verdict follows");
            return;
        }
        auto session = std::make_shared<LinkCheckSession>(
            link, LinkCheckSession::Options{options.peer, options.port, myAddress, chatCheckExchange, chatCheckWait});
        if (!session->finished())
            say("check: " + session->waitingNote("/check in its chat, or " + checkCommandThere(session->settings())));
        system::ScopedLock lock(checkLock);
        check = std::move(session);
    }

    // The running check's probe when due, what it has to say, and at its
    // end what it saw and, last, its verdict. Main thread.
    void tickCheck() {
        const auto session = runningCheck();
        if (!session)
            return;
        for (const auto &note : session->tick())
            say("check: " + note);
        if (!session->finished())
            return;
        const auto report = session->report();
        for (const auto &line : report.seen)
            say("check: " + line);
        say("check: " + report.verdictText);
        system::ScopedLock lock(checkLock);
        check.reset();
    }

    void readKeyboard(std::istream &in) {
        std::string line;
        try {
            if (screen) {
                for (;;) {
                    if (stopEditing.load()) {
                        keyboardDone.store(true);
                        return;
                    }
                    const auto read = screen->readLine(line, static_cast<int>(watchInterval));
                    // Ctrl-C, read as a key: nothing typed after it is read.
                    if (system::interruptRequested()) {
                        keyboardDone.store(true);
                        return;
                    }
                    if (read == ChatScreen::Read::endOfInput)
                        break;
                    if (read == ChatScreen::Read::line && !typed(line)) {
                        keyboardDone.store(true);
                        return;
                    }
                }
            } else {
                while (!quitTyped.load() && std::getline(in, line)) {
                    if (!typed(line)) {
                        keyboardDone.store(true);
                        return;
                    }
                }
            }
        } catch (...) {
            // A failing input ends the chat like the end of input.
        }
        inputEnded.store(true);
        keyboardDone.store(true);
    }
};

// The lines that are commands to the chat, not text to send. Each returns
// false when the chat ends.
struct SlashCommand {
    std::string_view name;
    bool (*run)(ChatSession &chat);
};
constexpr SlashCommand slashCommands[] = {
    {"/quit",
     [](ChatSession &chat) {
         chat.quitTyped.store(true);
         return false;
     }},
    // The main thread runs it, beside the chat: lines typed meanwhile are
    // sent as ever.
    {"/check",
     [](ChatSession &chat) {
         chat.checkAsked.store(true);
         return true;
     }},
};

bool ChatSession::typed(std::string line) {
    if (system::interruptRequested())
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    for (const auto &command : slashCommands)
        if (line == command.name)
            return command.run(*this);
    send(line);
    return true;
}

} // namespace

ChatEnd runChat(PluginHost &host, const ChatOptions &options, std::istream &in, std::ostream &out,
                std::ostream &err) {
    std::string error;
    std::unique_ptr<Charset> utf8;
    if (options.charset == nullptr)
        utf8 = openCharset("UTF-8", error);
    auto chat = std::make_shared<ChatSession>(host, options, out, err,
                                              options.charset != nullptr ? *options.charset : *utf8);
    if (!chat->link.findActions(error)) {
        err << "parlino: " << error << '\n';
        return ChatEnd::actionMissing;
    }
    const auto port = std::to_string(options.port);
    chat->link.setPeer(options.peer.address, options.peer.port);

    chat->say(host.texts().title + " chat on port " + port + " with " + options.peer.address + ":" +
              std::to_string(options.peer.port) +
              (options.peer.name.empty() ? "" : " (" + options.peer.name + ")"));
    chat->myAddress = chat->link.myAddress();
    const auto &myAddress = chat->myAddress;
    chat->say("my address: " + myAddress);
    const auto opening = chat->link.open(options.port);
    chat->say("open port " + port + ": " + (opening.status.empty() ? "no status" : opening.status));
    if (!opening.opened) {
        // After the module's message, which gives an error number.
        tellPortNotOpened(err, options.port, opening);
        return ChatEnd::portNotOpened;
    }
    if (options.peer.port == options.port &&
        (options.peer.address.rfind("127.", 0) == 0 || options.peer.address == "0.0.0.0" ||
         options.peer.address == myAddress))
        chat->warn("parlino: --peer " + options.peer.address + ":" + std::to_string(options.peer.port) +
                   " is this chat's own port: every line goes to yourself; give the other side's port");
    chat->say("Type a line and press Enter to send it; /check checks the link; /quit or the end of input leaves.");

    system::catchInterrupt();
    // Only here: the screen is drawn at once.
    std::string screenNote;
    {
        auto screen = openChatScreen("> ", chat->saidBefore, screenNote);
        system::ScopedLock lock(chat->outputLock);
        chat->screen = std::move(screen);
        chat->screenTried = true;
        chat->saidBefore.clear();
    }
    if (!screenNote.empty())
        chat->warn(screenNote);
    system::Thread receiver([chat] { chat->receiveUntilStopped(); });
    system::Thread keyboard([chat, &in] { chat->readKeyboard(in); });
    if (!receiver.started() || !keyboard.started()) {
        chat->warn("parlino: cannot start the chat's threads");
        chat->receiveFailed.store(true);
    }

    ChatEnd end = ChatEnd::quit;
    for (;;) {
        if (system::interruptRequested()) {
            end = ChatEnd::interrupted;
            break;
        }
        if (chat->quitTyped.load())
            break;
        if (chat->inputEnded.load()) {
            // Ctrl-C in a Windows console also ends the read that waits for
            // a line; the interrupt flag, set on another thread, follows.
            system::sleepMilliseconds(watchInterval);
            end = system::interruptRequested() ? ChatEnd::interrupted : ChatEnd::endOfInput;
            break;
        }
        if (chat->receiveFailed.load()) {
            chat->warn("parlino: the chat cannot receive; it ends");
            end = ChatEnd::failed;
            break;
        }
        if (chat->checkAsked.exchange(false))
            chat->startCheck();
        chat->tickCheck();
        system::sleepMilliseconds(endCheckInterval);
    }

    chat->receiving.store(false);
    // A receive waits up to about a second; a datagram of our own ends the
    // wait, so that leaving, Ctrl-C above all, is at once.
    ChatLink::wakeReceive(options.port);
    receiver.join();
    chat->link.close();
    chat->stopEditing.store(true);
    // A keyboard thread still blocked in a plain read stays so until the
    // process ends; a screen's thread looks at stopEditing at least every
    // watchInterval.
    if (chat->keyboardDone.load() || chat->screen)
        keyboard.join();
    else
        keyboard.detach();
    if (chat->screen) {
        system::ScopedLock lock(chat->outputLock);
        chat->screen.reset(); // the terminal as it was, the conversation on it
    }
    else if (end == ChatEnd::interrupted && outputIsTerminal())
        chat->say(""); // not on the line where the terminal echoed ^C
    chat->say("port " + port + " closed");
    return end;
}

} // namespace parlino::host
