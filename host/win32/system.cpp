// The host's operating-system layer on 32-bit Windows: LoadLibraryA with the
// decorated export names, Win32 threads and the console's Ctrl-C handler.
#include "host/system.h"

#include "host/charset.h"
#include "host/visible_text.h"

#include <winsock.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <streambuf>
#include <vector>

namespace parlino::host::system {

void *openModuleLibrary(const std::string &path, std::string &error) {
    HMODULE library = ::LoadLibraryA(path.c_str());
    if (library == nullptr) {
        const DWORD reason = ::GetLastError();
        error = reason == ERROR_MOD_NOT_FOUND ? "not found (nor a DLL it needs)"
                                              : "cannot load it (Windows error " + std::to_string(reason) + ")";
    }
    return reinterpret_cast<void *>(library);
}

void closeModuleLibrary(void *library) {
    if (library != nullptr)
        ::FreeLibrary(static_cast<HMODULE>(library));
}

void *findModuleSymbol(void *library, const std::string &exportedName) {
    return reinterpret_cast<void *>(::GetProcAddress(static_cast<HMODULE>(library), exportedName.c_str()));
}

// stdcall decoration: a leading underscore and the arguments' size in bytes.
std::string hostEntryPointName(const std::string &name, int argumentBytes) {
    return "_" + name + "@" + std::to_string(argumentBytes);
}

// The module allocates these blocks with GlobalAlloc.
void releaseModuleBlock(char *block) {
    if (block != nullptr)
        ::GlobalFree(reinterpret_cast<HGLOBAL>(block));
}

std::string executableDirectory() {
    char path[MAX_PATH + 1];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return ".\\";
    const std::string full(path, length);
    return full.substr(0, full.find_last_of("\\/") + 1);
}

// ---- Threads ----

struct Thread::State {
    std::function<void()> body;
    HANDLE thread = nullptr;
    bool detached = false;
};

namespace {
DWORD WINAPI runThreadBody(LPVOID state) {
    // Nothing may unwind through the operating system's frames.
    try {
        static_cast<std::function<void()> *>(state)->operator()();
    } catch (...) {
    }
    return 0;
}
} // namespace

Thread::Thread(std::function<void()> body) : state_(new State) {
    state_->body = std::move(body);
    state_->thread = ::CreateThread(nullptr, 0, runThreadBody, &state_->body, 0, nullptr);
}

Thread::~Thread() {
    detach();
    // A detached thread may still be running its body, so its state stays
    // until the process ends.
    if (!state_->detached)
        delete state_;
}

bool Thread::started() const { return state_->thread != nullptr; }

void Thread::join() {
    if (state_->thread == nullptr)
        return;
    ::WaitForSingleObject(state_->thread, INFINITE);
    ::CloseHandle(state_->thread);
    state_->thread = nullptr;
}

void Thread::detach() {
    if (state_->thread == nullptr)
        return;
    ::CloseHandle(state_->thread);
    state_->thread = nullptr;
    state_->detached = true;
}

void sleepMilliseconds(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

// ---- Console ----

namespace {
// The exit code of the first interrupt that came, 0 before one.
std::atomic<int> interruptCode{0};

BOOL WINAPI noteInterrupt(DWORD event) {
    int none = 0;
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        interruptCode.compare_exchange_strong(none, 130);
        return TRUE;
    }
    if (event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT)
        return FALSE;
    // The console is going away, as a terminal hangs up. Windows ends the
    // process when this returns: the main thread gets the few seconds it
    // allows to close the port and end with its own code.
    interruptCode.compare_exchange_strong(none, 129);
    ::Sleep(4000);
    return TRUE;
}
} // namespace

void catchInterrupt() { ::SetConsoleCtrlHandler(noteInterrupt, TRUE); }

bool interruptRequested() { return interruptCode.load() != 0; }

int interruptExitCode() { return interruptRequested() ? interruptCode.load() : 130; }

std::string timeOfDayText() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);
    return text;
}

// ---- The console as UTF-8 ----

namespace {

bool isConsole(DWORD which) {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(which), &mode) != 0;
}

std::wstring wideFromUtf8(const char *text, int length) {
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text, length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    if (size > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, text, length, wide.data(), size);
    return wide;
}

std::string utf8FromWide(const wchar_t *text, int length) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// Writes UTF-8 to a console as wide characters; a character cut at the
// end of the buffer waits for the rest. A line of ours that would start
// where the cursor is not at the left edge (after half a typed line that
// the console echoed, or its ^C) starts on the next line instead.
class ConsoleOutput : public std::streambuf {
  public:
    explicit ConsoleOutput(HANDLE console) : console_(console) {}

  protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof())
            pending_ += static_cast<char>(c);
        if (c == '\n' || pending_.size() >= 4096)
            sync();
        return traits_type::not_eof(c);
    }

    std::streamsize xsputn(const char *text, std::streamsize count) override {
        pending_.append(text, static_cast<std::size_t>(count));
        if (std::memchr(text, '\n', static_cast<std::size_t>(count)) != nullptr || pending_.size() >= 4096)
            sync();
        return count;
    }

    int sync() override {
        std::size_t whole = pending_.size();
        // Back to the start of a last character that is not complete yet.
        std::size_t start = whole;
        while (start > 0 && whole - start < 4 && (static_cast<unsigned char>(pending_[start - 1]) & 0xC0) == 0x80)
            --start;
        if (start > 0) {
            const auto lead = static_cast<unsigned char>(pending_[start - 1]);
            const std::size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            if (needed > whole - (start - 1))
                whole = start - 1;
        }
        const auto wide = wideFromUtf8(pending_.data(), static_cast<int>(whole));
        DWORD written = 0;
        if (!wide.empty()) {
            CONSOLE_SCREEN_BUFFER_INFO screen;
            if (atLineStart_ && ::GetConsoleScreenBufferInfo(console_, &screen) && screen.dwCursorPosition.X != 0)
                ::WriteConsoleW(console_, L"\r\n", 2, &written, nullptr);
            ::WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
            atLineStart_ = wide.back() == L'\n';
        }
        pending_.erase(0, whole);
        return 0;
    }

  private:
    HANDLE console_;
    std::string pending_;
    bool atLineStart_ = true;
};

// Reads a console line as wide characters (the console's own editing and
// history apply) and hands it over as UTF-8. Ctrl-Z at the start of a line
// is the end of input, as in a byte-oriented console read.
class ConsoleInput : public std::streambuf {
  public:
    explicit ConsoleInput(HANDLE console) : console_(console) {}

  protected:
    int_type underflow() override {
        if (ended_)
            return traits_type::eof();
        // A long line (a paste) comes in several reads; a character of two
        // UTF-16 units cut between two of them waits for its second half.
        wchar_t wide[1025];
        DWORD read = 0;
        const DWORD carried = carry_ != 0 ? 1 : 0;
        wide[0] = carry_;
        if (!::ReadConsoleW(console_, wide + carried, 1024, &read, nullptr) || read == 0 ||
            wide[carried] == 0x1A) {
            ended_ = true;
            return traits_type::eof();
        }
        read += carried;
        carry_ = 0;
        if (read > 1 && wide[read - 1] >= 0xD800 && wide[read - 1] <= 0xDBFF)
            carry_ = wide[--read];
        line_ = utf8FromWide(wide, static_cast<int>(read));
        setg(line_.data(), line_.data(), line_.data() + line_.size());
        return traits_type::to_int_type(line_[0]);
    }

  private:
    HANDLE console_;
    std::string line_;
    wchar_t carry_ = 0;
    bool ended_ = false;
};

} // namespace

void prepareConsole() {
    // Kept for the life of the process: the standard streams use them
    // until its end.
    if (isConsole(STD_OUTPUT_HANDLE))
        std::cout.rdbuf(new ConsoleOutput(::GetStdHandle(STD_OUTPUT_HANDLE)));
    if (isConsole(STD_ERROR_HANDLE))
        std::cerr.rdbuf(new ConsoleOutput(::GetStdHandle(STD_ERROR_HANDLE)));
    if (isConsole(STD_INPUT_HANDLE))
        std::cin.rdbuf(new ConsoleInput(::GetStdHandle(STD_INPUT_HANDLE)));
}

bool inputIsTerminal() { return isConsole(STD_INPUT_HANDLE); }
bool outputIsTerminal() { return isConsole(STD_OUTPUT_HANDLE); }

// ---- Text and names ----

namespace {

// A Windows code page: cp1252, windows-1252, iso-8859-15 or just 1252.
UINT codePageNamed(std::string name) {
    for (auto &c : name)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    unsigned offset = 0;
    std::string digits = name;
    for (const char *prefix : {"cp", "windows-", "ibm"})
        if (name.rfind(prefix, 0) == 0)
            digits = name.substr(std::strlen(prefix));
    if (name.rfind("iso-8859-", 0) == 0)
        digits = name.substr(9), offset = 28590;
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    const UINT page = static_cast<UINT>(std::strtoul(digits.c_str(), nullptr, 10) + offset);
    return ::IsValidCodePage(page) ? page : 0;
}

class CodePageCharset : public Charset {
  public:
    explicit CodePageCharset(UINT page) : page_(page) {}

    // As long a piece as decodes at once; where a byte does not decode,
    // the shortest piece that does, else the byte shown visibly.
    std::string toUtf8(std::string_view wire, bool &undecodable) override {
        undecodable = false;
        std::string out;
        while (!wire.empty()) {
            std::size_t length = decodes(wire.data(), wire.size()) ? wire.size() : 0;
            for (std::size_t tried = 1; length == 0 && tried <= 4 && tried <= wire.size(); ++tried)
                if (decodes(wire.data(), tried))
                    length = tried;
            if (length == 0) {
                undecodable = true;
                out += undecodedByteText(static_cast<unsigned char>(wire[0]));
                wire.remove_prefix(1);
                continue;
            }
            const auto size = ::MultiByteToWideChar(page_, MB_ERR_INVALID_CHARS, wire.data(),
                                                    static_cast<int>(length), nullptr, 0);
            std::wstring wide(static_cast<std::size_t>(size), L'\0');
            ::MultiByteToWideChar(page_, MB_ERR_INVALID_CHARS, wire.data(), static_cast<int>(length),
                                  wide.data(), size);
            out += utf8FromWide(wide.data(), size);
            wire.remove_prefix(length);
        }
        return out;
    }

    std::string fromUtf8(std::string_view utf8) override {
        if (utf8.empty())
            return {};
        const auto wide = wideFromUtf8(utf8.data(), static_cast<int>(utf8.size()));
        const int size = ::WideCharToMultiByte(page_, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                               "?", nullptr);
        std::string out(static_cast<std::size_t>(size), '\0');
        if (size > 0)
            ::WideCharToMultiByte(page_, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size, "?",
                                  nullptr);
        return out;
    }

  private:
    bool decodes(const char *text, std::size_t length) const {
        return ::MultiByteToWideChar(page_, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), nullptr, 0) > 0;
    }

    UINT page_;
};

} // namespace

std::unique_ptr<Charset> openSystemCharset(const std::string &name, std::string &error) {
    const UINT page = codePageNamed(name);
    if (page == 0) {
        error = "unknown character set \"" + name + "\" (try UTF-8, CP1252, CP850, ISO-8859-15)";
        return nullptr;
    }
    return std::make_unique<CodePageCharset>(page);
}

namespace {

// The socket library for the length of one call.
class SocketLibrary {
  public:
    SocketLibrary() : started_(::WSAStartup(MAKEWORD(1, 1), &data_) == 0) {}
    ~SocketLibrary() {
        if (started_)
            ::WSACleanup();
    }
    bool started() const { return started_; }

  private:
    WSADATA data_{};
    bool started_;
};

} // namespace

std::string resolveIpv4(const std::string &name, std::string &error) {
    const SocketLibrary library;
    if (!library.started()) {
        error = "the sockets cannot start";
        return {};
    }
    std::string address;
    const hostent *host = ::gethostbyname(name.c_str());
    if (host != nullptr && host->h_addrtype == AF_INET && host->h_addr_list[0] != nullptr) {
        in_addr first;
        std::memcpy(&first, host->h_addr_list[0], sizeof first);
        address = ::inet_ntoa(first);
    } else {
        error = "not found (Windows sockets error " + std::to_string(::WSAGetLastError()) + ")";
    }
    return address;
}

// ---- UDP ----

namespace {

sockaddr_in ipv4SocketAddress(u_long hostOrderAddress, u_short port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(hostOrderAddress);
    address.sin_port = ::htons(port);
    return address;
}

std::string socketErrorText(int error) {
    char *text = nullptr;
    ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char *>(&text), 0, nullptr);
    std::string reason = text != nullptr ? text : "";
    if (text != nullptr)
        ::LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    return (reason.empty() ? "" : reason + " ") + "(Windows sockets error " + std::to_string(error) + ")";
}

} // namespace

std::string udpPortProblem(std::uint16_t port, bool &inUse) {
    inUse = false;
    const SocketLibrary library;
    if (!library.started())
        return "the sockets cannot start";
    const SOCKET probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (probe == INVALID_SOCKET)
        return socketErrorText(::WSAGetLastError());
    const auto address = ipv4SocketAddress(INADDR_ANY, port);
    std::string problem;
    if (::bind(probe, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        const int error = ::WSAGetLastError();
        inUse = error == WSAEADDRINUSE || error == WSAEACCES;
        problem = socketErrorText(error);
    }
    ::closesocket(probe);
    return problem;
}

bool sendEmptyDatagramToLocalPort(std::uint16_t port) {
    const SocketLibrary library;
    if (!library.started())
        return false;
    const SOCKET sender = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (sender == INVALID_SOCKET)
        return false;
    const auto address = ipv4SocketAddress(INADDR_LOOPBACK, port);
    const bool sent =
        ::sendto(sender, "", 0, 0, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::closesocket(sender);
    return sent;
}

} // namespace parlino::host::system
