// The host interface of the shipped DLL: export names, the calling
// convention, the action catalogue, the texts handed to the host, and the
// dispatch of nbExecAction and nbEditAction.
#include "shipped_dll_test.h"

#include <gmock/gmock.h>

#include <cstring>
#include <vector>

namespace parlino::dlltest {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Calls `function` as a host does, pushing `count` 32-bit arguments right to
// left and popping none, and returns how many bytes of arguments the callee
// left on the stack: 0 for a function that removes its own arguments.
std::uint32_t bytesLeftOnStack(const void *function, const std::uint32_t *arguments,
                               std::uint32_t count, std::uint32_t &result) {
    std::uint32_t left;
    asm volatile("movl %%esp, %%esi\n\t"
                 "jecxz 2f\n"
                 "1:\n\t"
                 "pushl -4(%%edi,%%ecx,4)\n\t"
                 "loop 1b\n"
                 "2:\n\t"
                 "call *%%ebx\n\t"
                 "movl %%esi, %%edx\n\t"
                 "subl %%esp, %%edx\n\t"
                 "movl %%esi, %%esp\n\t"
                 : "=a"(result), "=d"(left), "+c"(count)
                 : "b"(function), "D"(arguments)
                 : "esi", "memory", "cc");
    return left;
}

char *titleSlot = nullptr, *authorSlot = nullptr, *descriptionSlot = nullptr;
const char *nullParameter = nullptr;

int32_t PARLINO_CALL ignoreRegistration(int32_t, const char *, const char *, const char *, uint32_t,
                                        uint32_t) {
    return 0;
}
int32_t PARLINO_CALL ignoreVariable(const char *, const char *) { return 0; }

struct ConventionCase {
    const char *exportName;
    std::vector<std::uint32_t> arguments;
    bool checkResult;
    std::uint32_t result;
};

void PrintTo(const ConventionCase &call, std::ostream *out) { *out << call.exportName; }

std::uint32_t word(const void *pointer) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

class CallingConventionTest : public ShippedDllTest,
                              public ::testing::WithParamInterface<ConventionCase> {};

TEST_P(CallingConventionTest, TheCalleeRemovesItsArguments) {
    const auto &call = GetParam();
    const void *function = exportedAddress(call.exportName);
    ASSERT_NE(function, nullptr);
    std::uint32_t result = 0;
    EXPECT_EQ(bytesLeftOnStack(function, call.arguments.data(),
                               static_cast<std::uint32_t>(call.arguments.size()), result),
              0u);
    if (call.checkResult) {
        EXPECT_EQ(result, call.result);
    }
    for (char **slot : {&titleSlot, &authorSlot, &descriptionSlot}) {
        ::GlobalFree(*slot);
        *slot = nullptr;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Exports, CallingConventionTest,
    ::testing::Values(
        ConventionCase{"_nbRegisterPlugIn@16",
                       {word(reinterpret_cast<void *>(ignoreRegistration)), 2, 3,
                        word(reinterpret_cast<void *>(ignoreVariable))},
                       false, 0},
        ConventionCase{"_nbInitPlugIn@16",
                       {1, word(&titleSlot), word(&authorSlot), word(&descriptionSlot)}, false, 0},
        ConventionCase{"_nbRegisterInterfaceAccess@4", {7}, false, 0},
        ConventionCase{"_nbRegisterScriptProcessor@4", {7}, false, 0},
        ConventionCase{"_nbMessage@8", {1, 2}, false, 0},
        ConventionCase{"_nbEditAction@8", {3, 0}, true, 1},
        ConventionCase{"_nbExecAction@8", {99, word(&nullParameter)}, true, 0},
        ConventionCase{"_nbExecAction@8", {closePortAction, word(&nullParameter)}, true, 1},
        ConventionCase{"QV_CHAT_MY_IP", {0}, true, 0},
        ConventionCase{"QV_CHAT_OPEN_PORT", {0}, true, 0},
        ConventionCase{"QV_CHAT_SEND_TXT", {0}, true, 0},
        ConventionCase{"QV_CHAT_RCV_TXT", {0}, true, 0},
        ConventionCase{"QV_CHAT_CLOSE_PORT", {0}, true, 0},
        ConventionCase{"QV_CHAT_MYIP", {0}, true, 0}));

class ExportNameTest : public ::testing::TestWithParam<const char *> {};

TEST_P(ExportNameTest, OnlyTheDecoratedOrPlainSpellingIsExported) {
    EXPECT_EQ(exportedAddress(GetParam()), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    OtherSpellings, ExportNameTest,
    ::testing::Values("nbRegisterPlugIn", "nbRegisterPlugIn@16", "_nbRegisterPlugIn", "nbInitPlugIn",
                      "nbInitPlugIn@16", "nbRegisterInterfaceAccess@4", "nbRegisterScriptProcessor@4",
                      "nbMessage", "nbMessage@8", "nbEditAction", "nbEditAction@8", "nbExecAction",
                      "nbExecAction@8", "_nbExecAction", "QV_CHAT_MY_IP@4", "_QV_CHAT_MY_IP@4",
                      "_QV_CHAT_MY_IP", "QV_CHAT_OPEN_PORT@4", "QV_CHAT_SEND_TXT@4",
                      "QV_CHAT_RCV_TXT@4", "QV_CHAT_CLOSE_PORT@4", "QV_CHAT_MYIP@4", "qv_chat_my_ip"));

Registration registered(int host, std::int32_t number, const char *name, const char *description) {
    return {host, number, name, description, "ACTIONPARAM_ALPHA", 1, 1};
}

std::vector<Registration> catalogue(int host) {
    return {
        registered(host, 1, "QV_chat_my_ip", "Get IP address at [qv_chat_my_pc] variable"),
        registered(host, 2, "QV_chat_open_port",
                   "Open connection [port] from receive chat; receive status at "
                   "[qv_chat_open_port_status] var.\r\nQV_chat_open_port\"[port]\""),
        registered(host, 3, "QV_chat_send_txt",
                   "Send Chat Text to remote user\r\nQV_chat_send_text\"[remote_ip]|[port]|[text]\""),
        registered(host, 4, "QV_chat_rcv_txt",
                   "Receive Chat Text from remote user at [qv_chat_text] variable\r\n"
                   "QV_chat_rcv_text\"[remote_ip]|[port]\""),
        registered(host, 5, "QV_chat_close_port", "Close connection [port]"),
    };
}

TEST_F(ShippedDllTest, RegisteringListsTheFiveActionsInOrder) {
    registerWithHost(0);
    EXPECT_EQ(hostRecord().registrations, catalogue(0));
}

TEST_F(ShippedDllTest, ASecondRegistrationReplacesBothCallbacks) {
    registerWithHost(1);
    EXPECT_EQ(hostRecord().registrations, catalogue(1));
    run(receiveTextAction, "");
    ASSERT_EQ(hostRecord().variableSets.size(), 1u);
    EXPECT_EQ(hostRecord().variableSets[0].host, 1);
    EXPECT_EQ(hostRecord().variableSets[0].name, "qv_chat_text");
    EXPECT_EQ(hostRecord().variableSets[0].value, std::nullopt); // the empty text arrives as null
}

struct HandedText {
    char *block;
    std::string text;
    std::size_t bytes;
};

TEST_F(ShippedDllTest, InitHandsOverThreeGlobalBlocksAndReplacesThemOnRepeat) {
    char *title = nullptr, *author = nullptr, *description = nullptr;
    dll().initPlugIn(0, &title, &author, &description);
    ASSERT_NE(title, nullptr);
    ASSERT_NE(author, nullptr);
    ASSERT_NE(description, nullptr);
    EXPECT_STREQ(title, productTitle);
    EXPECT_GT(std::strlen(author), 0u);
    EXPECT_STREQ(description, "Chat service functions");
    const auto &first = recording().globalMemory;
    ASSERT_EQ(first.size(), 3u);
    const std::vector<HandedText> handed{{title, productTitle, 14},
                                         {author, author, std::strlen(author) + 1},
                                         {description, "Chat service functions", 23}};
    for (std::size_t i = 0; i < handed.size(); ++i) {
        EXPECT_EQ(first[i].kind, GlobalMemoryCall::Kind::allocate);
        EXPECT_EQ(first[i].flags, 0x40u) << "fixed and zero-filled";
        EXPECT_EQ(first[i].bytes, handed[i].bytes) << handed[i].text;
        EXPECT_EQ(first[i].block, handed[i].block);
    }

    recording().reset();
    dll().initPlugIn(0, &title, &author, &description);
    const auto &second = recording().globalMemory;
    ASSERT_EQ(second.size(), 6u);
    for (std::size_t i = 0; i < handed.size(); ++i) {
        EXPECT_EQ(second[2 * i].kind, GlobalMemoryCall::Kind::release);
        EXPECT_EQ(second[2 * i].block, handed[i].block);
        EXPECT_EQ(second[2 * i + 1].kind, GlobalMemoryCall::Kind::allocate);
    }
    EXPECT_STREQ(title, productTitle);
    EXPECT_THAT(hostRecord().variableSets, IsEmpty());
    for (char *block : {title, author, description})
        ::GlobalFree(block);
}

TEST_F(ShippedDllTest, StoreOnlyEntryPointsCallNothing) {
    dll().registerInterfaceAccess(0x1234);
    dll().registerScriptProcessor(0x5678);
    for (std::int32_t message : {0, 1, 2, 1000, -1})
        dll().message(message, 42);
    EXPECT_EQ(dll().emptyMyIp("anything"), 0);
    EXPECT_THAT(hostRecord().registrations, IsEmpty());
    EXPECT_THAT(hostRecord().variableSets, IsEmpty());
    EXPECT_THAT(recording().desktop, IsEmpty());
    EXPECT_THAT(recording().binds, IsEmpty());
}

class EditActionTest : public ShippedDllTest,
                       public ::testing::WithParamInterface<std::pair<std::int32_t, std::int32_t>> {};

TEST_P(EditActionTest, AnswersForActionNumbersOneToTen) {
    EXPECT_EQ(dll().editAction(GetParam().first, 0), GetParam().second);
    EXPECT_THAT(hostRecord().variableSets, IsEmpty());
    EXPECT_THAT(recording().desktop, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Numbers, EditActionTest,
                         ::testing::Values(std::pair{1, 1}, std::pair{5, 1}, std::pair{6, 1},
                                           std::pair{10, 1}, std::pair{0, 0}, std::pair{11, 0},
                                           std::pair{-1, 0}, std::pair{INT32_MIN, 0}));

class UnknownActionTest : public ShippedDllTest, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(UnknownActionTest, ReturnsZeroAndRunsNothing) {
    const LoopbackSocket peer;
    EXPECT_EQ(run(GetParam(), sendParameter(peer.port(), "hello")), 0);
    EXPECT_THAT(hostRecord().variableSets, IsEmpty());
    EXPECT_THAT(recording().desktop, IsEmpty());
    EXPECT_THAT(recording().selects, IsEmpty());
    EXPECT_FALSE(peer.receive(100).has_value());
}

INSTANTIATE_TEST_SUITE_P(Numbers, UnknownActionTest, ::testing::Values(0, 6, 10, -1, INT32_MAX));

TEST_F(ShippedDllTest, ExecActionLeavesTheHostsTextAndVariableAlone) {
    const LoopbackSocket peer;
    char text[64];
    const std::string parameter = sendParameter(peer.port(), "hello");
    std::strcpy(text, parameter.c_str());
    const char *reference = text;
    EXPECT_EQ(dll().execAction(sendTextAction, &reference), 1); // no port: error box, still 1
    EXPECT_EQ(reference, text);
    EXPECT_EQ(std::string(text), parameter);
    EXPECT_THAT(recording().messageBoxes(),
                ElementsAre(messageBox("Bad file name or number\r\nError: 52.", 0)));
}

TEST_F(ShippedDllTest, ANullParameterIsTheEmptyText) {
    EXPECT_EQ(dll().execAction(openPortAction, &nullParameter), 1);
    EXPECT_EQ(variable("qv_chat_open_port_status"), "Ok");
    ASSERT_EQ(recording().binds.size(), 1u);
    EXPECT_EQ(recording().binds[0].requestedPort, 0);
    EXPECT_NE(recording().binds[0].boundPort, 0);
}

} // namespace
} // namespace parlino::dlltest
