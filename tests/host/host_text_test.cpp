// The host's small text rules: [name] substitution and the peer address.
#include "host/core/charset.h"
#include "host/core/chat_link.h"
#include "host/core/chat_names.h"
#include "host/core/host_variables.h"

#include <gmock/gmock.h>
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

TEST(PeerAddress, TakesAHostNameToLookUpOrAnAddress) {
    const std::pair<const char *, const char *> good[] = {
        {"localhost:40001", "localhost"}, {"my-pc.lan:1", "my-pc.lan"}, {"127.0.0.1:5", "127.0.0.1"}};
    for (const auto &[text, name] : good) {
        const auto peer = parsePeerHost(text);
        ASSERT_TRUE(peer) << text;
        EXPECT_EQ(peer->address, name);
    }
    for (const char *bad : {"localhost", "localhost:", ":40001", "local host:1", "localhost:0", "localhost:0x9c43",
                            "1.2.3:40001", "-x:1", "a_b:1", "1.2.3.256:1"})
        EXPECT_FALSE(parsePeerHost(bad)) << bad;
}

TEST(Charset, ConvertsAtTheEdgeAndShowsWhatDoesNotDecode) {
    std::string error;
    const auto cp1252 = openCharset("cp1252", error);
    ASSERT_TRUE(cp1252) << error;
    bool undecodable = false;
    EXPECT_EQ(cp1252->toUtf8("caf\xe9 \x80 \x81|\x9b", undecodable), "caf\xc3\xa9 \xe2\x82\xac \\x81|\xe2\x80\xba");
    EXPECT_TRUE(undecodable);
    cp1252->toUtf8("caf\xe9", undecodable);
    EXPECT_FALSE(undecodable);
    EXPECT_EQ(cp1252->fromUtf8("caf\xc3\xa9 \xe2\x82\xac \xe6\x97\xa5 \xc3"), "caf\xe9 \x80 ? ?");
    for (const char *name : {"UTF-8", "utf8"}) {
        const auto utf8 = openCharset(name, error);
        ASSERT_TRUE(utf8) << name;
        EXPECT_EQ(utf8->toUtf8("\xe9\xc2\x9b", undecodable), "\xe9\xc2\x9b"); // judged later by visibleText
        EXPECT_TRUE(undecodable);
        utf8->toUtf8("caf\xc3\xa9 \xc2\x9b", undecodable);
        EXPECT_FALSE(undecodable);
        EXPECT_EQ(utf8->fromUtf8("caf\xc3\xa9"), "caf\xc3\xa9");
    }
    EXPECT_FALSE(openCharset("no-such-set", error));
    EXPECT_NE(error.find("no-such-set"), std::string::npos);
}

// A set whose characters hold zero bytes would have every line cut after
// its first character by the module.
TEST(Charset, RefusesSetsWithZeroBytes) {
    for (const char *name : {"UTF-16", "UTF-16LE", "UTF-32", "UCS-2"}) {
        std::string error;
        EXPECT_FALSE(openCharset(name, error)) << name;
        EXPECT_THAT(error, testing::HasSubstr("zero bytes")) << name;
    }
    std::string error;
    EXPECT_TRUE(openCharset("CP932", error)) << error;
}

TEST(LineToSend, IsCutAtTheBarAndRefusedWhereACharacterHoldsIt) {
    std::string error;
    const auto cp932 = openCharset("CP932", error);
    const auto utf8 = openCharset("UTF-8", error);
    ASSERT_TRUE(cp932 && utf8);
    struct Row {
        Charset *charset;
        std::string_view typed, wire;
        bool cutAtBar, barInside, tooLong;
    };
    const std::string longest(65507, 'x'), tooLong(65508, 'x');
    const Row rows[] = {
        {utf8.get(), "hello", "hello", false, false, false},
        {utf8.get(), "a|b", "a", true, false, false},
        {utf8.get(), "|", "", true, false, false},
        {utf8.get(), "a|b|c", "a", true, false, false}, // cut at the first bar, not the last
        // ポ is 0x83 0x7C in Shift JIS: the module would send 0x83 alone.
        {cp932.get(), "\xe3\x83\x9d\xe3\x82\xa4\xe3\x83\xb3\xe3\x83\x88", "\x83|\x83\x43\x83\x93\x83\x67", false, true, false},
        {cp932.get(), "\xe3\x82\xa2|x", "\x83\x41", true, false, false},
        {utf8.get(), longest, longest, false, false, false},
        {utf8.get(), tooLong, tooLong, false, false, true},
    };
    for (const auto &row : rows) {
        const auto line = prepareLine(row.typed, *row.charset);
        EXPECT_EQ(line.wire, row.wire) << row.typed.substr(0, 20);
        EXPECT_EQ(line.cutAtBar, row.cutAtBar) << row.typed.substr(0, 20);
        EXPECT_EQ(line.barInsideCharacter, row.barInside) << row.typed.substr(0, 20);
        EXPECT_EQ(line.sendable(), !row.barInside) << row.typed.substr(0, 20);
        EXPECT_EQ(line.tooLong, row.tooLong) << row.typed.substr(0, 20);
    }
}

TEST(PortNumber, IsDecimalOnly) {
    EXPECT_EQ(parsePortNumber("1"), 1);
    EXPECT_EQ(parsePortNumber("65535"), 65535);
    for (const char *bad : {"", "0", "65536", "0x9c43", "abc", "+1", " 1", "01", "1e3", "-1"})
        EXPECT_FALSE(parsePortNumber(bad)) << bad;
}

TEST(Seconds, AreDecimalFromTheLeastTo600) {
    EXPECT_EQ(parseSeconds("0", 0), 0);
    EXPECT_EQ(parseSeconds("600", 1), 600);
    for (const char *bad : {"", "0", "601", "1000", "05", " 5", "5s", "-5", "+5"})
        EXPECT_FALSE(parseSeconds(bad, 1)) << bad;
}

} // namespace
} // namespace parlino::host
