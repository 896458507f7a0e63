// A desktop for tests: records message boxes, cursor calls and pauses in
// order, tells a settable time of day, and hands out global memory from the
// C heap with a count of live blocks and a switch to make allocation fail.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <string>
#include <vector>

namespace parlino::testing {

struct DesktopEvent {
    enum class Kind { pause, messageBox, loadWaitCursor, setCursor, showCursor };
    Kind kind;
    std::string caption; // message box only
    std::string text;    // message box only
    std::uint32_t value; // pause: milliseconds; message box: style; showCursor: 1 or 0
    platform::CursorHandle cursor = nullptr; // setCursor: the cursor made current

    bool operator==(const DesktopEvent &) const = default;
};

// The events since the last reset, and the state the fake answers with.
struct RecordingDesktop {
    std::vector<DesktopEvent> events;
    platform::TimeOfDay timeOfDay{14, 3, 9};
    bool failAllocations = false;
    int liveGlobalBlocks = 0;
    std::vector<std::size_t> allocationSizes;
    platform::CursorHandle currentCursor = nullptr;

    std::vector<DesktopEvent> messageBoxes() const;
    void reset();
};

RecordingDesktop &recordingDesktop();

// The system's wait cursor as the fake hands it out.
platform::CursorHandle fakeWaitCursor();

} // namespace parlino::testing
