// Recorders for the system calls the shipped DLL makes: message boxes, the
// cursor, pauses and the clock (all answered by the recorders themselves),
// and global memory, bind and select (recorded, then passed to the system).
// They are placed in the DLL's import address table, so what they see is
// what the real binary asks of Windows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace parlino::dlltest {

struct DesktopCall {
    enum class Kind { sleep, messageBox, loadCursor, setCursor, showCursor };
    Kind kind;
    // sleep: milliseconds; messageBox: style; loadCursor: resource number
    // (0xFFFFFFFF for a named one); showCursor: the flag.
    std::uint32_t value = 0;
    // messageBox: owner window; loadCursor: module; setCursor: the cursor.
    const void *handle = nullptr;
    std::string caption{}, text{}; // messageBox only

    bool operator==(const DesktopCall &) const = default;
};
void PrintTo(const DesktopCall &call, std::ostream *out);

struct SelectCall {
    bool socketInReadSet, socketInWriteSet;
    bool hasTimeLimit; // false: select was given no timeval and may wait forever
    long seconds, microseconds;

    bool operator==(const SelectCall &) const = default;
};
void PrintTo(const SelectCall &call, std::ostream *out);

struct BindCall {
    std::uint32_t address;       // as passed, network byte order
    std::uint16_t requestedPort; // host byte order
    std::uint16_t boundPort;     // read back after a successful bind; 0 otherwise
    int result;
};

struct GlobalMemoryCall {
    enum class Kind { allocate, release };
    Kind kind;
    std::uint32_t flags; // allocate only
    std::size_t bytes;   // allocate only
    const void *block;   // the block returned or released
};

struct Recording {
    std::vector<DesktopCall> desktop;
    std::vector<SelectCall> selects;
    std::vector<BindCall> binds;
    std::vector<GlobalMemoryCall> globalMemory;
    SYSTEMTIME clock{}; // what GetLocalTime answers
    HCURSOR currentCursor{};

    void reset();
    std::vector<DesktopCall> messageBoxes() const;
};

Recording &recording();

// The cursor that is current until the module sets another, and the one
// LoadCursorA hands out; neither is a real cursor.
inline const HCURSOR hostCursor = reinterpret_cast<HCURSOR>(0x4C0);
inline const HCURSOR recordedWaitCursor = reinterpret_cast<HCURSOR>(0x7A17);

// The local time GetLocalTime gives after reset(): 07:05:03.
inline constexpr WORD clockHour = 7, clockMinute = 5, clockSecond = 3;

// Places every recorder in the module's import address table. Returns the
// imports that were not found, as "DLL!function"; empty when all were.
std::vector<std::string> installRecorders(HMODULE module);

} // namespace parlino::dlltest
