#include "fakes/recording_desktop.h"
#include "fakes/recording_host.h"
#include "plugin/host_link.h"
#include "support/loopback_peer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace parlino {
namespace {

using testing::Registration;
using testing::VariableSet;
using ::testing::ElementsAre;

class HostInterfaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::recordingDesktop().reset();
        testing::recordingHost().clear();
    }
    void TearDown() override { testing::recordingHost().registerModule(); }
};

TEST_F(HostInterfaceTest, RegistersTheFiveActionsInOrderWithComposedDescriptions) {
    testing::recordingHost().registerModule();
    const std::string alpha = "ACTIONPARAM_ALPHA";
    EXPECT_THAT(
        testing::recordingHost().registrations(),
        ElementsAre(
            Registration{1, "QV_chat_my_ip", "Get IP address at [qv_chat_my_pc] variable", alpha, 1, 1},
            Registration{2, "QV_chat_open_port",
                         "Open connection [port] from receive chat; receive status at "
                         "[qv_chat_open_port_status] var.\r\nQV_chat_open_port\"[port]\"",
                         alpha, 1, 1},
            Registration{3, "QV_chat_send_txt",
                         "Send Chat Text to remote user\r\nQV_chat_send_text\"[remote_ip]|[port]|[text]\"",
                         alpha, 1, 1},
            Registration{4, "QV_chat_rcv_txt",
                         "Receive Chat Text from remote user at [qv_chat_text] variable\r\n"
                         "QV_chat_rcv_text\"[remote_ip]|[port]\"",
                         alpha, 1, 1},
            Registration{5, "QV_chat_close_port", "Close connection [port]", alpha, 1, 1}));
    EXPECT_EQ(hostLink().hostArg2, 2);
    EXPECT_EQ(hostLink().hostArg3, 3);
}

TEST_F(HostInterfaceTest, ASecondRegistrationUsesTheNewCallbacksFromThenOn) {
    testing::recordingHost().registerModule();
    testing::recordingHost().registerModule(true);
    EXPECT_EQ(testing::recordingHost().registrations(true).size(), 5u);
    EXPECT_EQ(testing::recordingHost().registrations(false).size(), 5u);
    QV_CHAT_CLOSE_PORT(nullptr);
    QV_CHAT_RCV_TXT(nullptr);
    EXPECT_THAT(testing::recordingHost().variableSets(true),
                ElementsAre(VariableSet{"qv_chat_text", std::nullopt}));
    EXPECT_TRUE(testing::recordingHost().variableSets(false).empty());
    EXPECT_EQ(hostLink().hostArg2, 22);
}

TEST_F(HostInterfaceTest, SetHostVariableLendsZeroTerminatedCopiesAndNullForEmpty) {
    // Both ways of setting show the host the same texts.
    for (const auto set : {+[](std::string_view name, const std::string &value) { setHostVariable(name, value); },
                           +[](std::string_view name, const std::string &value) {
                               setHostVariableFromOwnCopy(name, value);
                           }}) {
        testing::recordingHost().clear();
        testing::recordingHost().registerModule();
        set("name", "value");
        set("name", "");
        set("name", std::string("ab\0cd", 5));
        set("name", std::string("\0cd", 3));
        EXPECT_THAT(testing::recordingHost().variableSets(),
                    ElementsAre(VariableSet{"name", "value"}, VariableSet{"name", std::nullopt},
                                VariableSet{"name", "ab"}, VariableSet{"name", std::nullopt}));
    }
}

TEST_F(HostInterfaceTest, LentCopiesAreWholeAtEveryLength) {
    testing::recordingHost().registerModule();
    // Short copies and long ones are made differently: cover both sides of
    // the boundary, and a zero byte on each side of it.
    std::vector<VariableSet> expected;
    for (const std::size_t length : {1u, 62u, 63u, 64u, 65u, 1000u, 65536u}) {
        std::string value(length, 'v');
        value.front() = 'a';
        value.back() = 'z';
        const std::string name(length, 'n');
        setHostVariable(name, value);
        expected.push_back({name, value});
        std::string cut = value + std::string(1, '\0') + "tail";
        setHostVariable(name, cut);
        expected.push_back({name, value});
    }
    EXPECT_EQ(testing::recordingHost().variableSets(), expected);
}

TEST_F(HostInterfaceTest, CallbacksThatAreStillNullAreNotCalled) {
    nbRegisterPlugIn(nullptr, 0, 0, nullptr);
    setHostVariable("name", "value");
    QV_CHAT_MY_IP(nullptr);
    QV_CHAT_RCV_TXT(nullptr);
    registerAction(1, "name", "description", "type", 1);
    SUCCEED();
}

// Before nbRegisterPlugIn the actions still do their work, an open taking
// its port for real, but report to nobody: the callbacks given afterwards
// hear nothing of them.
TEST_F(HostInterfaceTest, ActionsBeforeRegistrationRunAndReportToNobody) {
    nbRegisterPlugIn(nullptr, 0, 0, nullptr);
    const auto port = testing::freeUdpPort();
    const std::string portText = std::to_string(port);
    const char *text = portText.c_str();
    EXPECT_EQ(nbExecAction(2, &text), 1);
    const EndpointNumber probe = nextFreeEndpointNumber();
    EXPECT_NE(openEndpoint(probe, port, 0), 0) << "port " << port << " was not taken";
    closeEndpoint(probe);
    testing::recordingHost().registerModule();
    QV_CHAT_CLOSE_PORT(nullptr);
    EXPECT_TRUE(testing::recordingHost().variableSets().empty());
}

TEST_F(HostInterfaceTest, InitHandsOverThreeZeroTerminatedBlocksAndReleasesEarlierOnes) {
    char *title = nullptr, *author = nullptr, *description = nullptr;
    const int blocksBefore = testing::recordingDesktop().liveGlobalBlocks;
    nbInitPlugIn(7, &title, &author, &description);
    ASSERT_NE(title, nullptr);
    ASSERT_NE(author, nullptr);
    ASSERT_NE(description, nullptr);
    EXPECT_STREQ(title, "Parlino 1.0.0");
    EXPECT_STREQ(author, "The Parlino authors");
    EXPECT_STREQ(description, "Chat service functions");
    EXPECT_THAT(testing::recordingDesktop().allocationSizes,
                ElementsAre(14u, std::strlen(author) + 1, 23u));
    EXPECT_EQ(hostLink().initArg1, 7);

    nbInitPlugIn(8, &title, &author, &description);
    EXPECT_EQ(testing::recordingDesktop().liveGlobalBlocks, blocksBefore + 3);
    EXPECT_STREQ(description, "Chat service functions");
    for (char **slot : {&title, &author, &description})
        freeHostString(slot);
    EXPECT_EQ(testing::recordingDesktop().liveGlobalBlocks, blocksBefore);
    EXPECT_EQ(title, nullptr);
}

TEST_F(HostInterfaceTest, EmptyTextLeavesTheSlotNullAndReleasesWhatWasThere) {
    char *slot = nullptr;
    giveHostString(&slot, "old");
    ASSERT_NE(slot, nullptr);
    giveHostString(&slot, "");
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(testing::recordingDesktop().liveGlobalBlocks, 0);
    EXPECT_THAT(testing::recordingDesktop().allocationSizes, ElementsAre(4u));
}

TEST_F(HostInterfaceTest, NullSlotAddressesAreSkippedAndTheOthersFilled) {
    char *author = nullptr;
    nbInitPlugIn(0, nullptr, &author, nullptr);
    EXPECT_NE(author, nullptr);
    freeHostString(&author);
}

TEST_F(HostInterfaceTest, FailedAllocationLeavesTheSlotNull) {
    char *title = nullptr, *author = nullptr, *description = nullptr;
    testing::recordingDesktop().failAllocations = true;
    nbInitPlugIn(0, &title, &author, &description);
    EXPECT_EQ(title, nullptr);
    EXPECT_EQ(author, nullptr);
    EXPECT_EQ(description, nullptr);
}

TEST_F(HostInterfaceTest, StoredValuesAreKeptAndMessageChangesNothing) {
    testing::recordingHost().registerModule();
    nbRegisterInterfaceAccess(41);
    nbRegisterScriptProcessor(42);
    const HostLink before = hostLink();
    for (int32_t message : {-1, 0, 1, 1000})
        nbMessage(message, 99);
    EXPECT_EQ(std::memcmp(&before, &hostLink(), sizeof before), 0);
    EXPECT_EQ(hostLink().interfaceAccess, 41);
    EXPECT_EQ(hostLink().scriptProcessor, 42);
    EXPECT_EQ(testing::recordingHost().variableSets().size(), 0u);
    EXPECT_TRUE(testing::recordingDesktop().events.empty());
}

} // namespace
} // namespace parlino
