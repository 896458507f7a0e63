// The host's small text rules: [name] substitution and the peer address.
#include "host/chat_names.h"
#include "host/host_variables.h"

#include <gtest/gtest.h>

namespace parlino::host {
namespace {

TEST(SubstituteVariables, FillsNamesOnceAndLeavesOtherBracketsAlone) {
    HostVariables variables;
    variables.set("a", "1");
    variables.set("loop", "[a]");
    variables.set("bytes", "\xe9t\xe9");
    const std::pair<const char *, const char *> cases[] = {
        {"", ""},
        {"[a]", "1"},
        {"x[a]y[a]", "x1y1"},
        {"[unset]", ""},
        {"[loop]", "[a]"}, // a value is not substituted again
        {"[[a]", "[a]"},
        {"[[", "["},
        {"[", "["},
        {"[a", "[a"},
        {"[]", "[]"},
        {"[a b]", "[a b]"},
        {"[a-b]", "[a-b]"},
        {"] [a] [", "] 1 ["},
        {"[bytes]", "\xe9t\xe9"},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(substituteVariables(text, variables), expected) << text;
}

TEST(PeerAddress, TakesDottedAddressAndPortOnly) {
    const auto peer = parsePeerAddress("192.168.1.20:5000");
    ASSERT_TRUE(peer);
    EXPECT_EQ(peer->address, "192.168.1.20");
    EXPECT_EQ(peer->port, 5000);
    EXPECT_TRUE(parsePeerAddress("0.0.0.0:1"));
    EXPECT_TRUE(parsePeerAddress("255.255.255.255:65535"));
    for (const char *bad : {"", "192.168.1.20", "192.168.1.20:", ":5000", "192.168.1.20:0", "192.168.1.20:65536",
                            "192.168.1:5000", "192.168.1.20.1:5000", "256.1.1.1:5000", "1.2.3.04:5000",
                            "localhost:5000", "1.2.3.4:50a0", " 1.2.3.4:5000", "1.2.3.4:+500", "1..3.4:5000",
                            "1.2.3.4:123456", "1.2.3.-1:5000"})
        EXPECT_FALSE(parsePeerAddress(bad)) << bad;
}

} // namespace
} // namespace parlino::host
