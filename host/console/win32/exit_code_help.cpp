// Windows has no signals: a console ends a program by Ctrl-C or Ctrl-Break,
// or by its window being closed, and parlino takes the codes a Linux shell
// gives a hang-up and an interrupt for them.
#include "host/console/exit_code_help.h"

namespace parlino::host {

const char *const interruptExitCodeHelp = "129 the console window closed; 130 Ctrl-C or Ctrl-Break.";

} // namespace parlino::host
