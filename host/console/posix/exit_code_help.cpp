// A shell reports a program that a signal ended as 128 and the signal's
// number; parlino ends on SIGINT, SIGQUIT, SIGTERM and SIGHUP with those codes too.
#include "host/console/exit_code_help.h"

namespace parlino::host {

const char *const interruptExitCodeHelp = "128+signal when interrupted: 129 hang-up, 130 Ctrl-C, 131 Ctrl-\\, 143 SIGTERM.";

} // namespace parlino::host
