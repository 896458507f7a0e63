// The standard streams of the command-line program as UTF-8, and whether
// they are a terminal (a console on Windows).
#pragma once

namespace parlino::host {

// Makes the standard streams carry UTF-8: on Windows a console is read and
// written as wide characters and converted; pipes and files, and Linux
// terminals, carry the bytes as they are.
void prepareConsole();
bool inputIsTerminal();
bool outputIsTerminal();

} // namespace parlino::host
