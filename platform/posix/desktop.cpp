// There is no desktop here: a message box is written to standard error and
// counts as dismissed with OK; the cursor calls do nothing.
#include "platform/platform.h"

#include <cerrno>
#include <ctime>
#include <string>
#include <unistd.h>

namespace parlino::platform {
namespace {

void writeAll(int descriptor, const std::string &text) {
    std::size_t written = 0;
    while (written < text.size()) {
        const auto result = ::write(descriptor, text.data() + written, text.size() - written);
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0)
            return;
        written += static_cast<std::size_t>(result);
    }
}

} // namespace

void showMessageBox(const char *caption, const char *text, std::uint32_t) {
    // One write, so that the box is not interleaved with other output.
    writeAll(STDERR_FILENO, std::string(caption) + "\n" + text + "\n");
}

CursorHandle loadWaitCursor() { return nullptr; }

CursorHandle setCursor(CursorHandle) { return nullptr; }

void showCursor(bool) {}

void sleepMilliseconds(std::uint32_t milliseconds) {
    timespec remaining{static_cast<time_t>(milliseconds / 1000),
                       static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

TimeOfDay localTimeOfDay() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_hour, local.tm_min, local.tm_sec};
}

} // namespace parlino::platform
