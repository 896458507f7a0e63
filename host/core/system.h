// What the host needs from the operating system, kept behind plain
// functions: host/core/posix and host/core/win32 implement it and CMake links one.
#pragma once

#include "host/core/lock.h" // Mutex and ScopedLock

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace parlino::host {
class Charset;
}

namespace parlino::host::system {

// ---- The module library ----

// Loads a module by path; null with a readable reason in `error` on failure.
void *openModuleLibrary(const std::string &path, std::string &error);
void closeModuleLibrary(void *library);
void *findModuleSymbol(void *library, const std::string &exportedName);

// The exported name of a host entry point whose arguments take
// `argumentBytes` bytes: decorated on 32-bit Windows, plain on Linux.
std::string hostEntryPointName(const std::string &name, int argumentBytes);

// Gives back a block that the module handed over through a slot of
// nbInitPlugIn, with the release that matches the module's allocation.
void releaseModuleBlock(char *block);

// The folder that holds the running executable, ending in a separator.
std::string executableDirectory();

// ---- Threads, for the chat's receiver and keyboard reader ----

// Runs `body` on a new thread. The body should catch what it throws: an
// exception that escapes it is dropped. A thread that was neither joined
// nor detached is detached by the destructor.
class Thread {
  public:
    explicit Thread(std::function<void()> body);
    ~Thread();
    Thread(const Thread &) = delete;
    Thread &operator=(const Thread &) = delete;
    bool started() const;
    void join();
    void detach();

  private:
    struct State;
    State *state_;
};

void sleepMilliseconds(std::uint32_t milliseconds);

// ---- Console ----

// From now on Ctrl-C, SIGTERM and a hang-up (SIGHUP on Linux unless it was
// ignored when parlino started, as under nohup; the console window closed
// on Windows) only set a flag that interruptRequested() reports, so that
// the host can close its port and give the terminal back before it ends.
void catchInterrupt();
bool interruptRequested();
// The exit code for the interrupt that came: 128 and the signal's number,
// as a shell gives it (130 Ctrl-C, 143 SIGTERM, 129 a hang-up).
int interruptExitCode();

// The local time of day as HH:MM:SS.
std::string timeOfDayText();

// ---- Text and names ----

// A character set the system converts (not UTF-8, which needs none); null
// with a reason when it does not know the name.
std::unique_ptr<Charset> openSystemCharset(const std::string &name, std::string &error);

// The first IPv4 address of a host name, dotted; empty with a reason.
std::string resolveIpv4(const std::string &name, std::string &error);

// ---- This machine's networks ----

// An interface's IPv4 address and net mask, in host byte order.
struct Ipv4Network {
    std::uint32_t address = 0, mask = 0;
};

// The IPv4 address and net mask of every interface the system lists,
// loopback included; empty when it cannot tell.
std::vector<Ipv4Network> localIpv4Networks();

// ---- UDP, beside the module's own socket ----

// Why a UDP port on all local addresses cannot be taken now, found by
// binding it and letting it go: empty when it can be taken, else the
// system's reason, with `inUse` set when another socket holds the port.
std::string udpPortProblem(std::uint16_t port, bool &inUse);

// Sends an empty datagram to `port` on 127.0.0.1 from a socket of its own,
// so that a receive waiting on that port returns at once; false when it
// could not be sent.
bool sendEmptyDatagramToLocalPort(std::uint16_t port);

} // namespace parlino::host::system
