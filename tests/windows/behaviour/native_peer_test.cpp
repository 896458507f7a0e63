// The shipped DLL under wine chatting with a native Linux program (socat)
// outside wine, in both directions. native_peer_test.sh starts socat, runs
// only these tests (NativePeer*) and passes through the environment:
//   PARLINO_NATIVE_PEER_DIR   a Linux folder shared with the script
//   PARLINO_NATIVE_PEER_PORT  the 127.0.0.1 port socat listens on; socat
//                             writes what it receives to DIR/received
// Once the DLL has opened its port, the test writes that port to
// DIR/dll-port, and the script sends one line to it with socat.
#include "shipped_dll_test.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace parlino::dlltest {
namespace {

std::string environment(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr ? value : "";
}

// A Linux path as wine's drive Z: shows it.
std::string onDriveZ(const std::string &linuxPath) { return "Z:" + linuxPath; }

std::string fileContents(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

class NativePeerTest : public ShippedDllTest {
  protected:
    void SetUp() override {
        ShippedDllTest::SetUp();
        exchangeFolder_ = environment("PARLINO_NATIVE_PEER_DIR");
        ASSERT_FALSE(exchangeFolder_.empty())
            << "run through native_peer_test.sh, which sets PARLINO_NATIVE_PEER_DIR";
    }
    std::string exchangeFile(const char *name) const {
        return onDriveZ(exchangeFolder_ + "/" + name);
    }

  private:
    std::string exchangeFolder_;
};

TEST_F(NativePeerTest, SendsALineThatSocatReceives) {
    const int socatPort = std::atoi(environment("PARLINO_NATIVE_PEER_PORT").c_str());
    ASSERT_GT(socatPort, 0) << "PARLINO_NATIVE_PEER_PORT is not set";
    openChatPort();
    run(sendTextAction, sendParameter(static_cast<std::uint16_t>(socatPort), " hi|there"));
    EXPECT_THAT(recording().messageBoxes(), ::testing::IsEmpty());
    std::string received;
    for (int attempt = 0; attempt < 300 && received.empty(); ++attempt) {
        ::Sleep(100);
        received = fileContents(exchangeFile("received"));
    }
    EXPECT_EQ(received, " hi"); // no terminator, cut at the "|"
}

TEST_F(NativePeerTest, ReceivesALineThatSocatSends) {
    const std::uint16_t port = openChatPort();
    ASSERT_NE(port, 0);
    {
        std::ofstream portFile(exchangeFile("dll-port.part"));
        portFile << port << "\n";
    }
    // Renamed only when complete, so the script never reads half a number.
    ASSERT_TRUE(::MoveFileA(exchangeFile("dll-port.part").c_str(), exchangeFile("dll-port").c_str()));
    // Each receive waits about a second; socat starts within a few.
    for (int attempt = 0; attempt < 60; ++attempt) {
        run(receiveTextAction, "");
        if (!variable("qv_chat_text").value_or("").empty())
            break;
    }
    EXPECT_EQ(variable("qv_chat_text"), "hello from linux");
}

} // namespace
} // namespace parlino::dlltest
