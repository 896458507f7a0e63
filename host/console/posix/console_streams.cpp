// A Linux terminal carries the bytes as they are: nothing to convert.
#include "host/console/console_streams.h"

#include <unistd.h>

namespace parlino::host {

void prepareConsole() {}
bool inputIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }
bool outputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

} // namespace parlino::host
