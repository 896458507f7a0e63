#include "host/chat.h"

#include "host/charset.h"
#include "host/line_editor.h"
#include "host/system.h"
#include "host/visible_text.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>

namespace parlino::host {
namespace {

constexpr std::uint32_t watchInterval = 50; // ms the keyboard thread waits for a key between looks
// ms between the main thread's looks at the end conditions: short, so that
// Ctrl-C ends the chat at once.
constexpr std::uint32_t endCheckInterval = 5;
// The most a UDP datagram over IPv4 carries: 65,535 bytes less the IP and
// UDP headers.
constexpr std::size_t largestDatagram = 65507;

struct ChatActions {
    std::int32_t myIp = 0, openPort = 0, sendText = 0, receiveText = 0, closePort = 0;
};

bool findChatActions(const PluginHost &host, ChatActions &actions, std::ostream &err) {
    const std::pair<std::string_view, std::int32_t *> wanted[] = {
        {myIpAction, &actions.myIp},
        {openPortAction, &actions.openPort},
        {sendTextAction, &actions.sendText},
        {receiveTextAction, &actions.receiveText},
        {closePortAction, &actions.closePort},
    };
    for (const auto &[name, number] : wanted) {
        const auto *action = host.findAction(name);
        if (action == nullptr) {
            err << "parlino: the module offers no action " << name << '\n';
            return false;
        }
        *number = action->number;
    }
    return true;
}

// What the three threads share. Held by shared_ptr: the keyboard thread may
// still be blocked reading when the chat ends, and is left to the process end.
struct ChatSession {
    PluginHost &host;
    ChatActions actions;
    std::string sendPrefix; // ADDRESS|PORT|
    std::ostream &out;
    std::ostream &err;
    Charset &charset;
    // On a terminal: the typed line, kept below the lines shown.
    std::unique_ptr<LineEditor> editor;
    system::Mutex outputLock;
    // Held for each send, and by the close, so that the port never closes
    // while a send is on its way.
    system::Mutex sendLock;
    bool portClosed = false; // under sendLock
    std::atomic<bool> receiving{true};
    std::atomic<bool> quitTyped{false};
    std::atomic<bool> inputEnded{false};
    std::atomic<bool> receiveFailed{false};
    std::atomic<bool> keyboardDone{false};
    std::atomic<bool> stopEditing{false};
    std::string charsetName;
    bool charsetHintGiven = false; // receiver thread only

    ChatSession(PluginHost &h, std::ostream &o, std::ostream &e, Charset &c) : host(h), out(o), err(e), charset(c) {}

    void say(const std::string &line) {
        system::ScopedLock lock(outputLock);
        if (editor)
            editor->showLine(line);
        else
            out << line << '\n' << std::flush;
    }

    void warn(const std::string &line) {
        system::ScopedLock lock(outputLock);
        if (editor) {
            err << std::flush;
            editor->showLine(line, true);
        } else {
            err << line << '\n' << std::flush;
        }
    }

    void send(std::string line) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find('|') != std::string::npos)
            warn("parlino: a chat line ends at \"|\": the text after it is not sent");
        const auto wire = charset.fromUtf8(line);
        // What the module sends: the text up to the field separator.
        const auto sentBytes = std::min(wire.find('|'), wire.size());
        {
            system::ScopedLock lock(sendLock);
            if (portClosed)
                return;
            host.execute(actions.sendText, sendPrefix + wire);
        }
        // After the module's own message, which names only an error number.
        if (sentBytes > largestDatagram)
            warn("parlino: that line was not sent: it is " + std::to_string(sentBytes) +
                 " bytes long, more than one datagram carries (65,507 bytes); send it as shorter lines");
    }

    void receiveUntilStopped() {
        try {
            while (receiving.load()) {
                host.execute(actions.receiveText, {});
                const auto text = host.variables().get(textVariable);
                if (text.empty())
                    continue;
                bool undecodable = false;
                const auto shown = visibleText(charset.toUtf8(text, undecodable));
                say("[" + system::timeOfDayText() + "] < " + shown);
                if (undecodable && !charsetHintGiven) {
                    charsetHintGiven = true;
                    warn("parlino: that line holds bytes that are not valid " + charsetName +
                         " (shown as \\xE9 and the like): the other side may use another character set, which "
                         "--charset sets, such as --charset " + (charsetName == "UTF-8" ? "cp1252" : "UTF-8"));
                }
            }
        } catch (...) {
            // Out of memory for a line: end the chat rather than go on deaf.
            receiveFailed.store(true);
        }
    }

    // A typed line: false when it was /quit, or when Ctrl-C came first:
    // the line it abandoned is never sent.
    bool typed(const std::string &line) {
        if (system::interruptRequested())
            return false;
        if (line == "/quit" || line == "/quit\r") {
            quitTyped.store(true);
            return false;
        }
        send(line);
        return true;
    }

    void readKeyboard(std::istream &in) {
        std::string line;
        try {
            if (editor) {
                for (;;) {
                    if (stopEditing.load()) {
                        keyboardDone.store(true);
                        return;
                    }
                    const auto read = editor->readLine(line, static_cast<int>(watchInterval));
                    // Ctrl-C, read as a key: nothing typed after it is read.
                    if (system::interruptRequested()) {
                        keyboardDone.store(true);
                        return;
                    }
                    if (read == LineEditor::Read::endOfInput)
                        break;
                    if (read == LineEditor::Read::line && !typed(line)) {
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

    void closePort() {
        system::ScopedLock lock(sendLock);
        host.execute(actions.closePort, {});
        portClosed = true;
    }
};

} // namespace

ChatEnd runChat(PluginHost &host, const ChatOptions &options, std::istream &in, std::ostream &out,
                std::ostream &err) {
    std::string error;
    std::unique_ptr<Charset> utf8;
    if (options.charset == nullptr)
        utf8 = openCharset("UTF-8", error);
    auto chat = std::make_shared<ChatSession>(host, out, err, options.charset != nullptr ? *options.charset : *utf8);
    chat->charsetName = options.charset != nullptr ? options.charsetName : "UTF-8";
    if (!findChatActions(host, chat->actions, err))
        return ChatEnd::actionMissing;
    const auto port = std::to_string(options.port);
    chat->sendPrefix = options.peer.address + "|" + std::to_string(options.peer.port) + "|";

    chat->say(host.texts().title + " chat on port " + port + " with " + options.peer.address + ":" +
              std::to_string(options.peer.port) +
              (options.peer.name.empty() ? "" : " (" + options.peer.name + ")"));
    host.execute(chat->actions.myIp, {});
    const auto myAddress = host.variables().get(myIpVariable);
    chat->say("my address: " + myAddress);
    // Cleared first, so that an earlier status cannot pass for this open's.
    host.variables().set(openStatusVariable, {});
    host.execute(chat->actions.openPort, port);
    const auto status = host.variables().get(openStatusVariable);
    chat->say("open port " + port + ": " + (status.empty() ? "no status" : status));
    if (status != "Ok") {
        // The module's message gives an error number; what it means here,
        // and what to do, is told after it.
        bool inUse = false;
        const auto problem = system::udpPortProblem(options.port, inUse);
        if (inUse)
            err << "parlino: port " << port << " is in use by another program; choose another with --port\n";
        else if (!problem.empty())
            err << "parlino: port " << port << " cannot be opened: " << problem << "; choose another with --port\n";
        return ChatEnd::portNotOpened;
    }
    if (options.peer.port == options.port &&
        (options.peer.address.rfind("127.", 0) == 0 || options.peer.address == "0.0.0.0" ||
         options.peer.address == myAddress))
        chat->warn("parlino: --peer " + options.peer.address + ":" + std::to_string(options.peer.port) +
                   " is this chat's own port: every line goes to yourself; give the other side's port");
    chat->say("Type a line and press Enter to send it; /quit or the end of input leaves.");

    system::catchInterrupt();
    // Only here: the editor draws its prompt at once.
    std::string editorNote;
    chat->editor = openLineEditor("> ", editorNote);
    if (!editorNote.empty())
        chat->warn(editorNote);
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
        system::sleepMilliseconds(endCheckInterval);
    }

    chat->receiving.store(false);
    // A receive waits up to about a second; a datagram of our own ends the
    // wait, so that leaving, Ctrl-C above all, is at once.
    system::sendEmptyDatagramToLocalPort(options.port);
    receiver.join();
    chat->closePort();
    chat->stopEditing.store(true);
    // A keyboard thread still blocked in a plain read stays so until the
    // process ends; an editor's thread looks at stopEditing at least every
    // watchInterval.
    if (chat->keyboardDone.load() || chat->editor)
        keyboard.join();
    else
        keyboard.detach();
    if (chat->editor)
        chat->editor.reset(); // the terminal as it was
    else if (end == ChatEnd::interrupted && system::outputIsTerminal())
        chat->say(""); // not on the line where the terminal echoed ^C
    chat->say("port " + port + " closed");
    return end;
}

} // namespace parlino::host
