#include "platform/platform.h"

#include <windows.h>

namespace parlino::platform {

void showMessageBox(const char *caption, const char *text, std::uint32_t style) {
    ::MessageBoxA(nullptr, text, caption, style);
}

CursorHandle loadWaitCursor() { return ::LoadCursorA(nullptr, IDC_WAIT); }

CursorHandle setCursor(CursorHandle cursor) { return ::SetCursor(static_cast<HCURSOR>(cursor)); }

void showCursor(bool show) { ::ShowCursor(show ? TRUE : FALSE); }

void sleepMilliseconds(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

TimeOfDay localTimeOfDay() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return {now.wHour, now.wMinute, now.wSecond};
}

} // namespace parlino::platform
