// What the window driver needs to see and touch a chat window from
// outside: its controls' text, its message boxes, its keyboard.
#pragma once

#include "host/window/controls.h"

#include <windows.h>

#include <string>
#include <vector>

namespace window_test {

namespace control = parlino::host::window_control;

std::string utf8(const std::wstring &text);
// Ends the driver with exit code 1, after what every chat window shows.
[[noreturn]] void fail(const std::string &what);
// One line of the driver's report.
void say(const std::string &line);
double nowMilliseconds();

// A window's text as another process reads it (WM_GETTEXT).
std::wstring textOf(HWND window);
std::wstring captionOf(HWND window);
// The one visible chat window whose caption holds `captionPart`, its port
// open or not; the driver fails when there is none or several.
HWND findChatWindow(const std::wstring &captionPart, bool portOpen, double seconds);
// The module's message boxes on the screen ("Parlino 1.0.0").
std::vector<HWND> moduleBoxes();
// The control of the window's thread that has the keyboard.
HWND focusedControl(HWND window);

} // namespace window_test
