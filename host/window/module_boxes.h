// The module's message boxes (a port that cannot be opened, a line that
// cannot be sent) are its own: it shows them with no owner window, on the
// thread that runs the action, and returns once they are dismissed. The
// window runs those actions on its own thread, so that the boxes show over
// it, and meanwhile behaves as a box's owner does: it takes no input.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace parlino::host {

// Runs `action` with `window` disabled and gives the texts of the message
// boxes that showed meanwhile on this thread, in order, their lines joined
// by spaces; empty when none showed. Focus returns to the control that had it.
std::wstring runWhileBoxesShow(HWND window, const std::function<void()> &action);
// The same for an action that runs several times a second and seldom shows
// a box (a probe of the link check): the window is disabled only once a box
// shows, so that until then the keyboard and the mouse stay where they are
// (a window disabled drops both).
std::wstring runWhileBoxesMayShow(HWND window, const std::function<void()> &action);

} // namespace parlino::host
