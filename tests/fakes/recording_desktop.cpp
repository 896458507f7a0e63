#include "fakes/recording_desktop.h"

#include "host/core/lock.h"

#include <cstdlib>

namespace parlino::testing {
namespace {
// Send and receive may record from two threads at once.
host::system::Mutex eventsLock;
int waitCursorToken;
} // namespace

RecordingDesktop &recordingDesktop() {
    static RecordingDesktop desktop;
    return desktop;
}

platform::CursorHandle fakeWaitCursor() { return &waitCursorToken; }

std::vector<DesktopEvent> RecordingDesktop::messageBoxes() const {
    std::vector<DesktopEvent> boxes;
    for (const auto &event : events)
        if (event.kind == DesktopEvent::Kind::messageBox)
            boxes.push_back(event);
    return boxes;
}

void RecordingDesktop::reset() {
    const host::system::ScopedLock guard(eventsLock);
    events.clear();
    allocationSizes.clear();
    timeOfDay = {14, 3, 9};
    failAllocations = false;
    currentCursor = nullptr;
}

namespace {
void record(DesktopEvent event) {
    const host::system::ScopedLock guard(eventsLock);
    recordingDesktop().events.push_back(std::move(event));
}
} // namespace

} // namespace parlino::testing

namespace parlino::platform {

using testing::DesktopEvent;
using testing::recordingDesktop;

void *allocateGlobal(std::size_t bytes) {
    if (recordingDesktop().failAllocations)
        return nullptr;
    ++recordingDesktop().liveGlobalBlocks;
    recordingDesktop().allocationSizes.push_back(bytes);
    return std::calloc(bytes, 1);
}

void releaseGlobal(void *block) {
    if (block == nullptr)
        return;
    --recordingDesktop().liveGlobalBlocks;
    std::free(block);
}

void showMessageBox(const char *caption, const char *text, std::uint32_t style) {
    testing::record({DesktopEvent::Kind::messageBox, caption, text, style});
}

CursorHandle loadWaitCursor() {
    testing::record({DesktopEvent::Kind::loadWaitCursor, {}, {}, 0});
    return testing::fakeWaitCursor();
}

CursorHandle setCursor(CursorHandle cursor) {
    testing::record({DesktopEvent::Kind::setCursor, {}, {}, 0, cursor});
    auto previous = recordingDesktop().currentCursor;
    recordingDesktop().currentCursor = cursor;
    return previous;
}

void showCursor(bool show) { testing::record({DesktopEvent::Kind::showCursor, {}, {}, show ? 1u : 0u}); }

void sleepMilliseconds(std::uint32_t milliseconds) {
    testing::record({DesktopEvent::Kind::pause, {}, {}, milliseconds});
}

TimeOfDay localTimeOfDay() { return recordingDesktop().timeOfDay; }

} // namespace parlino::platform
