// The host's operating-system layer on Linux: dlopen, POSIX threads,
// signals and the C library's clock.
#include "host/core/system.h"

#include "host/core/charset.h"
#include "host/core/visible_text.h"

#include <arpa/inet.h>
#include <iconv.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

namespace parlino::host::system {

void *openModuleLibrary(const std::string &path, std::string &error) {
    // RTLD_LOCAL keeps the module's symbols out of the global namespace, as
    // a host that may load several modules would want.
    // A bare file name means the file in the current folder, as on Windows,
    // not a search of the system's library folders.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    void *library = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char *reason = ::dlerror();
        error = reason != nullptr ? reason : "cannot load " + path;
    }
    return library;
}

void closeModuleLibrary(void *library) {
    if (library != nullptr)
        ::dlclose(library);
}

void *findModuleSymbol(void *library, const std::string &exportedName) {
    return ::dlsym(library, exportedName.c_str());
}

std::string hostEntryPointName(const std::string &name, int) { return name; }

// The Linux module allocates these blocks with calloc.
void releaseModuleBlock(char *block) { std::free(block); }

std::string executableDirectory() {
    char path[4096];
    const auto length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "./";
    const std::string full(path, static_cast<std::size_t>(length));
    return full.substr(0, full.rfind('/') + 1);
}

// ---- Threads ----

struct Thread::State {
    std::function<void()> body;
    pthread_t thread{};
    bool running = false;
    bool detached = false;
};

namespace {
void *runThreadBody(void *state) {
    // Nothing may unwind through the operating system's frames.
    try {
        static_cast<std::function<void()> *>(state)->operator()();
    } catch (...) {
    }
    return nullptr;
}
} // namespace

Thread::Thread(std::function<void()> body) : state_(new State) {
    state_->body = std::move(body);
    state_->running = pthread_create(&state_->thread, nullptr, runThreadBody, &state_->body) == 0;
}

Thread::~Thread() {
    detach();
    // A detached thread may still be running its body, so its state stays
    // until the process ends.
    if (!state_->detached)
        delete state_;
}

bool Thread::started() const { return state_->running; }

void Thread::join() {
    if (state_->running)
        pthread_join(state_->thread, nullptr);
    state_->running = false;
}

void Thread::detach() {
    if (!state_->running)
        return;
    pthread_detach(state_->thread);
    state_->running = false;
    state_->detached = true;
}

void sleepMilliseconds(std::uint32_t milliseconds) {
    timespec remaining{static_cast<time_t>(milliseconds / 1000),
                       static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

// ---- Console ----

namespace {
// The first signal that came, 0 before one.
std::atomic<int> interruptSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void noteInterrupt(int signal) {
    int none = 0;
    interruptSignal.compare_exchange_strong(none, signal);
}
} // namespace

void catchInterrupt() {
    struct sigaction action {};
    action.sa_handler = noteInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    struct sigaction hangUp {};
    if (sigaction(SIGHUP, nullptr, &hangUp) == 0 && hangUp.sa_handler != SIG_IGN)
        sigaction(SIGHUP, &action, nullptr);
}

bool interruptRequested() { return interruptSignal.load() != 0; }

int interruptExitCode() { return 128 + (interruptRequested() ? interruptSignal.load() : SIGINT); }

std::string timeOfDayText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}


// ---- Text and names ----

namespace {

// glibc's iconv, one descriptor per direction.
class IconvCharset : public Charset {
  public:
    IconvCharset(iconv_t toUtf8, iconv_t fromUtf8) : toUtf8_(toUtf8), fromUtf8_(fromUtf8) {}
    ~IconvCharset() override {
        iconv_close(toUtf8_);
        iconv_close(fromUtf8_);
    }

    std::string toUtf8(std::string_view wire, bool &undecodable) override {
        undecodable = false;
        return convert(toUtf8_, wire, [&undecodable](std::string &out, std::string_view &rest) {
            undecodable = true;
            out += undecodedByteText(static_cast<unsigned char>(rest[0]));
            rest.remove_prefix(1);
        });
    }

    std::string fromUtf8(std::string_view utf8) override {
        return convert(fromUtf8_, utf8, [](std::string &out, std::string_view &rest) {
            out += '?';
            // The whole character: its lead byte and continuation bytes.
            rest.remove_prefix(1);
            while (!rest.empty() && (static_cast<unsigned char>(rest[0]) & 0xC0) == 0x80)
                rest.remove_prefix(1);
        });
    }

  private:
    template <typename Substitute>
    static std::string convert(iconv_t descriptor, std::string_view text, Substitute substitute) {
        std::string out;
        char buffer[1024];
        iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
        while (!text.empty()) {
            char *in = const_cast<char *>(text.data());
            std::size_t inLeft = text.size();
            char *next = buffer;
            std::size_t outLeft = sizeof buffer;
            const auto result = iconv(descriptor, &in, &inLeft, &next, &outLeft);
            const int reason = errno;
            out.append(buffer, static_cast<std::size_t>(next - buffer));
            text.remove_prefix(text.size() - inLeft);
            if (result == static_cast<std::size_t>(-1) && reason != E2BIG && !text.empty()) {
                // EILSEQ, or EINVAL for a sequence cut at the end.
                substitute(out, text);
                iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
            }
        }
        return out;
    }

    iconv_t toUtf8_, fromUtf8_;
};

} // namespace

std::unique_ptr<Charset> openSystemCharset(const std::string &name, std::string &error) {
    const iconv_t none = reinterpret_cast<iconv_t>(-1);
    const iconv_t toUtf8 = iconv_open("UTF-8", name.c_str());
    const iconv_t fromUtf8 = toUtf8 == none ? none : iconv_open(name.c_str(), "UTF-8");
    if (fromUtf8 == none) {
        if (toUtf8 != none)
            iconv_close(toUtf8);
        error = "unknown character set \"" + name + "\" (try UTF-8, CP1252, ISO-8859-15; iconv -l lists them)";
        return nullptr;
    }
    return std::make_unique<IconvCharset>(toUtf8, fromUtf8);
}

std::string resolveIpv4(const std::string &name, std::string &error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo *found = nullptr;
    const int result = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (result != 0 || found == nullptr) {
        error = result != 0 ? ::gai_strerror(result) : "no IPv4 address";
        return {};
    }
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in *>(found->ai_addr)->sin_addr, text, sizeof text);
    ::freeaddrinfo(found);
    return text;
}

// ---- UDP ----

namespace {
sockaddr_in ipv4SocketAddress(std::uint32_t hostOrderAddress, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(hostOrderAddress);
    address.sin_port = htons(port);
    return address;
}
} // namespace

std::string udpPortProblem(std::uint16_t port, bool &inUse) {
    inUse = false;
    const int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return std::strerror(errno);
    const auto address = ipv4SocketAddress(INADDR_ANY, port);
    std::string problem;
    if (::bind(probe, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        inUse = errno == EADDRINUSE;
        problem = std::strerror(errno);
    }
    ::close(probe);
    return problem;
}

std::vector<Ipv4Network> localIpv4Networks() {
    std::vector<Ipv4Network> networks;
    ifaddrs *interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0)
        return networks;
    for (const ifaddrs *entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_netmask == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            (entry->ifa_flags & IFF_UP) == 0)
            continue;
        const auto address = reinterpret_cast<const sockaddr_in *>(entry->ifa_addr)->sin_addr.s_addr;
        const auto mask = reinterpret_cast<const sockaddr_in *>(entry->ifa_netmask)->sin_addr.s_addr;
        networks.push_back({ntohl(address), ntohl(mask)});
    }
    ::freeifaddrs(interfaces);
    return networks;
}

bool sendEmptyDatagramToLocalPort(std::uint16_t port) {
    const int sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sender < 0)
        return false;
    const auto address = ipv4SocketAddress(INADDR_LOOPBACK, port);
    const bool sent = ::sendto(sender, "", 0, MSG_NOSIGNAL, reinterpret_cast<const sockaddr *>(&address),
                               sizeof address) == 0;
    ::close(sender);
    return sent;
}

} // namespace parlino::host::system
