// The fixture of the behaviour suites: the shipped DLL registered with the
// recording host, no chat port open and nothing recorded yet.
#pragma once

#include "loopback_socket.h"
#include "recording_host.h"
#include "shipped_dll.h"
#include "system_recorders.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace parlino::dlltest {

inline constexpr std::int32_t myIpAction = 1, openPortAction = 2, sendTextAction = 3,
                              receiveTextAction = 4, closePortAction = 5;
inline constexpr const char *productTitle = "Parlino 1.0.0";

inline DesktopCall messageBox(std::string text, std::uint32_t style) {
    return {DesktopCall::Kind::messageBox, style, nullptr, productTitle, std::move(text)};
}

class ShippedDllTest : public ::testing::Test {
  protected:
    void SetUp() override {
        registerWithHost(0);
        dll().closePort(nullptr);
        hostRecord().clear();
        recording().reset();
    }
    void TearDown() override { dll().closePort(nullptr); }

    static const ShippedDll &dll() { return shippedDll(); }

    // nbExecAction as a host calls it: the address of a variable that holds
    // the address of the parameter text.
    static std::int32_t run(std::int32_t action, const std::string &parameter) {
        const char *text = parameter.c_str();
        return dll().execAction(action, &text);
    }

    static std::optional<std::string> variable(const std::string &name) {
        return hostRecord().lastValue(name);
    }

    // The port of the DLL's last successful bind, 0 when there was none.
    static std::uint16_t lastBoundPort() {
        for (auto call = recording().binds.rbegin(); call != recording().binds.rend(); ++call)
            if (call->result == 0)
                return call->boundPort;
        return 0;
    }

    // Opens the chat port on a port the system chooses and returns it.
    static std::uint16_t openChatPort() {
        run(openPortAction, "0");
        EXPECT_EQ(variable("qv_chat_open_port_status"), "Ok");
        return lastBoundPort();
    }

    static std::string sendParameter(std::uint16_t port, const std::string &text) {
        return "127.0.0.1|" + std::to_string(port) + "|" + text;
    }
};

} // namespace parlino::dlltest
