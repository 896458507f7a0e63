// Lines from the network as the link check reads them. The properties: a
// line is a probe only in its one written form (what parses is written back
// as the same bytes), and a check that takes any line, probe or not, then
// judges without a crash and with a verdict to show.
//
// Input: the received line.
#include "host/core/link_check.h"
#include "property.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace parlino::host;
    using namespace std::chrono_literals;
    const std::string_view line(reinterpret_cast<const char *>(data), size);
    if (const auto probe = parseProbe(line))
        PROPERTY(probeText(*probe) == line);

    LinkCheckSettings settings;
    settings.self = {0xC6120001, 40001}; // 198.18.0.1
    settings.peer = {0xC6120002, 40002}; // 198.18.0.2
    settings.platform = "linux";
    settings.localAddresses = {{0xC6120001, 0xFFFFFF00}};
    const CheckClock::time_point start{};
    LinkCheck check(settings, start);
    check.nextProbe(start);
    const bool wasProbe = check.takeLine(line, start + 1ms);
    PROPERTY(wasProbe == parseProbe(line).has_value());
    check.nextProbe(start + 250ms);
    const auto report = check.report(start + 300ms);
    PROPERTY(!report.verdictText.empty() && !report.seen.empty());
    return 0;
}
