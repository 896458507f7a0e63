// The exit codes of parlino, as docs/host.md lists them.
#pragma once

namespace parlino::host::exit_code {

inline constexpr int success = 0;
inline constexpr int publicationStopped = 1; // a "fail" line, or a fault while running
inline constexpr int linkTrouble = 1;        // the link check's verdict is other than both ways
inline constexpr int usage = 2;              // the command line is wrong
inline constexpr int moduleUnusable = 3;     // cannot load it, or it lacks a needed action
inline constexpr int publicationInvalid = 4; // missing, unreadable or faulty publication file
inline constexpr int portNotOpened = 5;      // the chat port could not be opened
inline constexpr int internalFailure = 70;      // out of memory and the like
// An interrupt ends with 128 and the signal's number: 130 Ctrl-C, 143
// SIGTERM, 129 a hang-up (system::interruptExitCode).

} // namespace parlino::host::exit_code
