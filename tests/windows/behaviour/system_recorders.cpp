// winsock2.h must come before windows.h, which the recorders' header includes.
#include <winsock2.h>

#include "system_recorders.h"

#include "import_table.h"

namespace parlino::dlltest {
namespace {

using BindFunction = int(WSAAPI *)(SOCKET, const sockaddr *, int);
using SelectFunction = int(WSAAPI *)(int, fd_set *, fd_set *, fd_set *, const timeval *);
using GlobalAllocFunction = HGLOBAL(WINAPI *)(UINT, SIZE_T);
using GlobalFreeFunction = HGLOBAL(WINAPI *)(HGLOBAL);

BindFunction systemBind = nullptr;
SelectFunction systemSelect = nullptr;
GlobalAllocFunction systemGlobalAlloc = nullptr;
GlobalFreeFunction systemGlobalFree = nullptr;

std::uint16_t hostOrder(std::uint16_t networkOrder) {
    return static_cast<std::uint16_t>((networkOrder & 0xFF) << 8 | networkOrder >> 8);
}

int WINAPI recordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    recording().desktop.push_back({DesktopCall::Kind::messageBox, style, owner,
                                   caption != nullptr ? caption : "(null)",
                                   text != nullptr ? text : "(null)"});
    return IDOK;
}

HCURSOR WINAPI recordLoadCursor(HINSTANCE module, LPCSTR name) {
    const auto number = IS_INTRESOURCE(name) ? static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(name))
                                             : 0xFFFFFFFFu;
    recording().desktop.push_back({DesktopCall::Kind::loadCursor, number, module});
    return recordedWaitCursor;
}

HCURSOR WINAPI recordSetCursor(HCURSOR cursor) {
    recording().desktop.push_back({DesktopCall::Kind::setCursor, 0, cursor});
    const HCURSOR previous = recording().currentCursor;
    recording().currentCursor = cursor;
    return previous;
}

int WINAPI recordShowCursor(BOOL show) {
    recording().desktop.push_back({DesktopCall::Kind::showCursor, static_cast<std::uint32_t>(show)});
    return show ? 1 : -1;
}

void WINAPI recordSleep(DWORD milliseconds) {
    recording().desktop.push_back({DesktopCall::Kind::sleep, milliseconds});
    ::Sleep(milliseconds);
}

void WINAPI answerLocalTime(LPSYSTEMTIME time) { *time = recording().clock; }

HGLOBAL WINAPI recordGlobalAlloc(UINT flags, SIZE_T bytes) {
    const HGLOBAL block = systemGlobalAlloc(flags, bytes);
    recording().globalMemory.push_back({GlobalMemoryCall::Kind::allocate, flags, bytes, block});
    return block;
}

HGLOBAL WINAPI recordGlobalFree(HGLOBAL block) {
    recording().globalMemory.push_back({GlobalMemoryCall::Kind::release, 0, 0, block});
    return systemGlobalFree(block);
}

int WSAAPI recordBind(SOCKET socket, const sockaddr *name, int length) {
    const int result = systemBind(socket, name, length);
    BindCall call{0, 0, 0, result};
    if (name != nullptr && length >= static_cast<int>(sizeof(sockaddr_in))) {
        const auto *requested = reinterpret_cast<const sockaddr_in *>(name);
        call.address = requested->sin_addr.s_addr;
        call.requestedPort = hostOrder(requested->sin_port);
    }
    sockaddr_in bound{};
    int boundLength = sizeof bound;
    if (result == 0 &&
        ::getsockname(socket, reinterpret_cast<sockaddr *>(&bound), &boundLength) == 0)
        call.boundPort = hostOrder(bound.sin_port);
    recording().binds.push_back(call);
    return result;
}

bool holdsOneSocket(const fd_set *set) { return set != nullptr && set->fd_count == 1; }

int WSAAPI recordSelect(int ignored, fd_set *readSet, fd_set *writeSet, fd_set *exceptSet,
                        const timeval *wait) {
    recording().selects.push_back({holdsOneSocket(readSet), holdsOneSocket(writeSet),
                                   wait != nullptr, wait != nullptr ? wait->tv_sec : 0,
                                   wait != nullptr ? wait->tv_usec : 0});
    return systemSelect(ignored, readSet, writeSet, exceptSet, wait);
}

const char *kindName(DesktopCall::Kind kind) {
    switch (kind) {
    case DesktopCall::Kind::sleep: return "Sleep";
    case DesktopCall::Kind::messageBox: return "MessageBoxA";
    case DesktopCall::Kind::loadCursor: return "LoadCursorA";
    case DesktopCall::Kind::setCursor: return "SetCursor";
    case DesktopCall::Kind::showCursor: return "ShowCursor";
    }
    return "?";
}

} // namespace

Recording &recording() {
    static Recording theRecording;
    return theRecording;
}

void Recording::reset() {
    desktop.clear();
    selects.clear();
    binds.clear();
    globalMemory.clear();
    clock = SYSTEMTIME{2026, 12, 2, 8, clockHour, clockMinute, clockSecond, 0};
    currentCursor = hostCursor;
}

std::vector<DesktopCall> Recording::messageBoxes() const {
    std::vector<DesktopCall> boxes;
    for (const auto &call : desktop)
        if (call.kind == DesktopCall::Kind::messageBox)
            boxes.push_back(call);
    return boxes;
}

void PrintTo(const DesktopCall &call, std::ostream *out) {
    *out << kindName(call.kind) << "(value " << call.value << ", handle " << call.handle;
    if (call.kind == DesktopCall::Kind::messageBox)
        *out << ", caption \"" << call.caption << "\", text \"" << call.text << "\"";
    *out << ")";
}

void PrintTo(const SelectCall &call, std::ostream *out) {
    *out << "select(" << (call.socketInReadSet ? "read " : "") << (call.socketInWriteSet ? "write " : "");
    if (call.hasTimeLimit)
        *out << "{" << call.seconds << " s, " << call.microseconds << " us}";
    else
        *out << "no time limit";
    *out << ")";
}

std::vector<std::string> installRecorders(HMODULE module) {
    struct Replacement {
        const char *library, *function;
        void *recorder;
        void **original;
    };
    const Replacement replacements[] = {
        {"USER32.dll", "MessageBoxA", reinterpret_cast<void *>(recordMessageBox), nullptr},
        {"USER32.dll", "LoadCursorA", reinterpret_cast<void *>(recordLoadCursor), nullptr},
        {"USER32.dll", "SetCursor", reinterpret_cast<void *>(recordSetCursor), nullptr},
        {"USER32.dll", "ShowCursor", reinterpret_cast<void *>(recordShowCursor), nullptr},
        {"KERNEL32.dll", "Sleep", reinterpret_cast<void *>(recordSleep), nullptr},
        {"KERNEL32.dll", "GetLocalTime", reinterpret_cast<void *>(answerLocalTime), nullptr},
        {"KERNEL32.dll", "GlobalAlloc", reinterpret_cast<void *>(recordGlobalAlloc),
         reinterpret_cast<void **>(&systemGlobalAlloc)},
        {"KERNEL32.dll", "GlobalFree", reinterpret_cast<void *>(recordGlobalFree),
         reinterpret_cast<void **>(&systemGlobalFree)},
        {"WSOCK32.DLL", "bind", reinterpret_cast<void *>(recordBind),
         reinterpret_cast<void **>(&systemBind)},
        {"WSOCK32.DLL", "select", reinterpret_cast<void *>(recordSelect),
         reinterpret_cast<void **>(&systemSelect)},
    };
    recording().reset();
    std::vector<std::string> missing;
    for (const auto &replacement : replacements) {
        void *original = replaceImport(module, replacement.library, replacement.function,
                                       replacement.recorder);
        if (original == nullptr)
            missing.push_back(std::string(replacement.library) + "!" + replacement.function);
        else if (replacement.original != nullptr)
            *replacement.original = original;
    }
    return missing;
}

} // namespace parlino::dlltest
