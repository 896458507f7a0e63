// A program started from a desktop on Linux has no window of its own to
// explain anything in: nothing to do.
#include "host/console/console_window.h"

namespace parlino::host {

bool introduceWhenDoubleClicked(int) { return false; }

} // namespace parlino::host
