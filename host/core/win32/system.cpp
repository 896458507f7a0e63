// The host's operating-system layer on 32-bit Windows: LoadLibraryA with the
// decorated export names, Win32 threads and the console's Ctrl-C handler.
// Code pages are in code_pages.cpp, the host's own sockets in sockets.cpp.
#include "host/core/system.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>

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

} // namespace parlino::host::system
