// The five chat actions of the shipped DLL over loopback, with a Winsock
// socket of the test's own as the other side: what reaches the host's
// variables, the wire, the message boxes and the cursor. The cases shared
// with the Linux suite are the rows of cases/chat_cases.h; the rest are the
// DLL's own.
#include "cases/careless_host_cases.h"
#include "cases/chat_cases.h"
#include "shipped_dll_test.h"

#include <gmock/gmock.h>

#include <float.h>
#include <optional>

namespace parlino::dlltest {
namespace {

using ::testing::IsEmpty;
using Kind = DesktopCall::Kind;

constexpr std::uint32_t waitCursorNumber = 32514; // IDC_WAIT

std::string dotted(std::uint32_t networkOrder) {
    const auto *octets = reinterpret_cast<const unsigned char *>(&networkOrder);
    return std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." +
           std::to_string(octets[2]) + "." + std::to_string(octets[3]);
}

// The shipped DLL with its system calls recorded, the recording host, and a
// Winsock socket of the test's own on every address (wine delivers a
// datagram for 0.0.0.0 to this machine, so the peer would see one sent there).
class DllWorld : public cases::ChatWorld {
  public:
    DllWorld() {
        registerWithHost(0);
        shippedDll().closePort(nullptr);
        forget();
    }
    ~DllWorld() override {
        EXPECT_EQ(recording().currentCursor, hostCursor); // every case ends with the cursor back
        shippedDll().closePort(nullptr);
    }

    void exec(int action, const std::string &text) override {
        const char *parameter = text.c_str();
        EXPECT_EQ(shippedDll().execAction(action, &parameter), 1);
    }
    void direct(int action, const std::string &text) override {
        const auto &dll = shippedDll();
        const decltype(dll.myIp) exports[] = {dll.myIp, dll.openPort, dll.sendText, dll.receiveText,
                                              dll.closePort};
        EXPECT_EQ(exports[action - 1](text.c_str()), 0);
    }
    std::uint16_t peerPort() override { return peer_.port(); }
    std::uint16_t freePort() override { return LoopbackSocket().port(); }
    void peerSend(const std::string &text, std::uint16_t port) override { ASSERT_TRUE(peer_.send(text, port)); }
    std::optional<Datagram> peerReceive(bool expectOne) override {
        const auto datagram = peer_.receive(expectOne ? 10000 : 300);
        if (!datagram)
            return std::nullopt;
        return Datagram{datagram->bytes, datagram->senderPort};
    }
    bool canBind(std::uint16_t port) override { return LoopbackSocket(port, anyAddress).bound(); }
    std::vector<std::pair<std::string, std::string>> variables() override {
        std::vector<std::pair<std::string, std::string>> sets;
        for (const auto &set : hostRecord().variableSets)
            sets.emplace_back(set.name.value_or(cases::nullValue), set.value.value_or(cases::nullValue));
        return sets;
    }
    std::size_t desktopEventsAtLastSet() override {
        const auto &sets = hostRecord().variableSets;
        return sets.empty() ? 0 : sets.back().desktopCallsBefore;
    }
    std::vector<std::string> desktop() override {
        std::vector<std::string> events;
        for (const auto &call : recording().desktop)
            events.push_back(describe(call));
        return events;
    }
    void forget() override {
        hostRecord().clear();
        recording().reset();
    }
    std::optional<std::vector<std::string>> binds() override {
        std::vector<std::string> binds;
        for (const auto &call : recording().binds)
            binds.push_back(dotted(call.address) + ":" + std::to_string(call.requestedPort));
        return binds;
    }
    std::optional<std::vector<std::string>> selects() override {
        std::vector<std::string> selects;
        for (const auto &call : recording().selects)
            selects.push_back(std::string(call.socketInReadSet ? "read" : "") +
                              (call.socketInWriteSet ? "write" : "") +
                              (call.hasTimeLimit ? " " + std::to_string(call.seconds * 1000000 + call.microseconds)
                                                 : ""));
        return selects;
    }

  private:
    static std::string describe(const DesktopCall &call) {
        switch (call.kind) {
        case Kind::loadCursor:
            return call.value == waitCursorNumber && call.handle == nullptr ? cases::waitCursorLoaded
                                                                            : "other cursor loaded";
        case Kind::setCursor:
            return call.handle == recordedWaitCursor ? cases::waitCursorSet
                   : call.handle == hostCursor       ? cases::cursorRestored
                                                     : "other cursor set";
        case Kind::showCursor:
            return call.value == TRUE ? cases::cursorShown : "cursor hidden";
        case Kind::sleep:
            return cases::pause(call.value);
        case Kind::messageBox:
            return cases::box(call.caption, call.text, call.value) + (call.handle != nullptr ? " (owned)" : "");
        }
        return "unknown";
    }

    const LoopbackSocket peer_{0, anyAddress};
};

PARLINO_RUN_CHAT_CASES(DllWorld);

// A host that unmasked x87 exceptions for overflow, zero divide and invalid
// operation and runs the unit at 53-bit precision, as many Windows hosts do:
// no number text may raise an exception in it (one would end the process),
// numbers read as with a 64-bit mantissa, and the control word and status
// flags come back as they were after every action.
using cases::CarelessHostCase;

class CarelessHostTest : public ShippedDllTest, public ::testing::WithParamInterface<CarelessHostCase> {};

TEST_P(CarelessHostTest, NumbersRaiseNoFpuExceptionAndReadAsAt64Bits) {
    const LoopbackSocket listener(0, cases::carelessListenerAddress);
    ASSERT_TRUE(listener.bound());
    const std::string parameter = GetParam().parameterFor(listener.port());
    const unsigned int hostWord = _controlfp(0, 0);
    _clearfp();
    _controlfp(_EM_INEXACT | _EM_UNDERFLOW | _EM_DENORMAL, _MCW_EM);
    _controlfp(_PC_53, _MCW_PC);
    const unsigned int careless = _controlfp(0, 0);
    unsigned int words[3], flags[3];
    const std::pair<std::int32_t, std::string> calls[] = {
        {openPortAction, "0"}, {GetParam().action, parameter}, {closePortAction, ""}};
    for (int i = 0; i < 3; ++i) {
        run(calls[i].first, calls[i].second);
        words[i] = _controlfp(0, 0);
        flags[i] = _statusfp();
    }
    _controlfp(hostWord, _MCW_EM | _MCW_PC);
    _clearfp();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(words[i], careless) << "after action " << calls[i].first;
        EXPECT_EQ(flags[i], 0u) << "after action " << calls[i].first;
    }
    if (GetParam().action == sendTextAction) {
        const auto datagram = listener.receive(GetParam().arrives ? 5000 : 200);
        EXPECT_EQ(datagram ? std::optional<std::string>(datagram->bytes) : std::nullopt, GetParam().arrives);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, CarelessHostTest, ::testing::ValuesIn(cases::carelessHostCases()));

// The first address of this machine's own name, in dotted form, as the test
// program's Winsock resolves it; 0.0.0.0 when there is none.
// The first address of this machine's name outside 127.0.0.0/8 (a name is
// often mapped to 127.0.1.1), or 0.0.0.0 where it has none.
std::string firstLocalAddress() {
    char name[256];
    const hostent *host = ::gethostname(name, sizeof name) == 0 ? ::gethostbyname(name) : nullptr;
    for (int at = 0; host != nullptr && host->h_addr_list != nullptr && host->h_addr_list[at] != nullptr; ++at) {
        const auto *octets = reinterpret_cast<const unsigned char *>(host->h_addr_list[at]);
        if (octets[0] != 127)
            return std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." +
                   std::to_string(octets[2]) + "." + std::to_string(octets[3]);
    }
    return "0.0.0.0";
}

TEST_F(ShippedDllTest, MyIpWritesTheFirstLocalAddressOutsideLoopbackWithoutAnyMessage) {
    run(myIpAction, "ignored");
    const auto address = variable("qv_chat_my_ip");
    ASSERT_TRUE(address.has_value());
    EXPECT_EQ(*address, firstLocalAddress()); // octets in the order they are written
    EXPECT_THAT(recording().desktop, IsEmpty());
    EXPECT_EQ(dll().myIp(nullptr), 0);
    EXPECT_EQ(variable("qv_chat_my_ip"), address);
}

} // namespace
} // namespace parlino::dlltest
