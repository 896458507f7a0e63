// The exit codes of parlino as its help lists them. The codes of a
// program ended from outside are the platform's own: signals on Linux, the
// console's Ctrl-C, Ctrl-Break and close button on Windows.
#pragma once

namespace parlino::host {

// The last part of the help's "Exit codes:" paragraph: the codes of an
// interrupted parlino, as on this platform, ending with a full stop.
extern const char *const interruptExitCodeHelp;

} // namespace parlino::host
