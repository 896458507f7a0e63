#include "busy_cursor.h"

#include "platform/platform.h"

namespace parlino {
namespace {
platform::CursorHandle savedCursor = nullptr;
}

void setBusyCursor(bool on) {
    if (on) {
        savedCursor = platform::setCursor(platform::loadWaitCursor());
        platform::showCursor(true);
    } else {
        platform::setCursor(savedCursor);
    }
}

} // namespace parlino
