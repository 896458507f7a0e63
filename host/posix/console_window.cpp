// A terminal outlives the programs it runs: nothing to keep open.
#include "host/console_window.h"

namespace parlino::host {

OwnConsoleWindow::OwnConsoleWindow(int) {}
OwnConsoleWindow::~OwnConsoleWindow() = default;

} // namespace parlino::host
