// Plays a checked publication: actions go to the module, host commands are
// carried out here, [name]s are filled in at the moment a line runs.
#pragma once

#include "host/core/host_variables.h"
#include "host/core/publication.h"

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace parlino::host {

// The most a variable may hold, and the most that filling in [name]s may
// make of a line (one written longer keeps its length): far more than a
// datagram carries, far less than a run may take of memory. A line that
// would make more stops the run.
inline constexpr std::size_t largestValue = 1024 * 1024;

// What a publication does outside the host: run a module action and wait.
class PublicationEnvironment {
  public:
    virtual ~PublicationEnvironment() = default;
    virtual void runAction(std::int32_t number, const std::string &parameter) = 0;
    virtual void pause(std::uint32_t milliseconds) = 0;
    // Asked before each line runs and each round of a repeat: false stops
    // the publication there.
    virtual bool keepRunning() { return true; }
    // A piece of a line that print is about to show, as UTF-8: values from
    // the module come in the chat's character set. print then shows it
    // visibly. A long line comes in pieces that end after a byte below 0x40
    // where one is near (no multibyte character of the usual code pages
    // spans it), else before a byte that does not continue a UTF-8 one.
    virtual std::string decodedForPrint(std::string_view text) { return std::string(text); }
};

struct RunOutcome {
    bool finished = true; // false: stopped by "fail" or by a fault while running
    int line = 0;         // the line that stopped it
    std::string message;
};

// Runs the statements in order; print writes one line to `out` and flushes
// it, so that a reader on a pipe sees each line as it is printed. What print
// writes goes through visibleText: its values may come from the network.
// A line without [name]s is not copied to be printed, and is written in
// pieces, so that a long one is held once.
RunOutcome runPublication(const Publication &publication, HostVariables &variables,
                          PublicationEnvironment &environment, std::ostream &out);

} // namespace parlino::host
