// parlino started by a double click: Windows then gives it a console window
// of its own, which closes the moment parlino ends, so that the complaint
// about a missing command would flash and vanish.
#pragma once

namespace parlino::host {

// When parlino has a console window of its own and no command was given
// (argumentCount counts the program's name too), shows how to use parlino
// from a command prompt, waits for Enter, and returns true. Otherwise, and
// always outside Windows, does nothing and returns false.
bool introduceWhenDoubleClicked(int argumentCount);

} // namespace parlino::host
