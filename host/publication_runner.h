// Plays a checked publication: actions go to the module, host commands are
// carried out here, [name]s are filled in at the moment a line runs.
#pragma once

#include "host/host_variables.h"
#include "host/publication.h"

#include <cstdint>
#include <ostream>
#include <string>

namespace parlino::host {

// What a publication does outside the host: run a module action and wait.
class PublicationEnvironment {
  public:
    virtual ~PublicationEnvironment() = default;
    virtual void runAction(std::int32_t number, const std::string &parameter) = 0;
    virtual void pause(std::uint32_t milliseconds) = 0;
    // Asked before each line runs and each round of a repeat: false stops
    // the publication there.
    virtual bool keepRunning() { return true; }
    // A line that print is about to show, as UTF-8: values from the module
    // come in the chat's character set. print then shows it visibly.
    virtual std::string decodedForPrint(const std::string &text) { return text; }
};

struct RunOutcome {
    bool finished = true; // false: stopped by "fail" or by a fault while running
    int line = 0;         // the line that stopped it
    std::string message;
};

// Runs the statements in order; print writes one line to `out` and flushes
// it, so that a reader on a pipe sees each line as it is printed. What print
// writes goes through visibleText: its values may come from the network.
RunOutcome runPublication(const Publication &publication, HostVariables &variables,
                          PublicationEnvironment &environment, std::ostream &out);

} // namespace parlino::host
