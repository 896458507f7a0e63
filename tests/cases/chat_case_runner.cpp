// Runs a row of the chat cases in the world a suite provides.
#include "cases/chat_cases.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

namespace parlino::cases {
namespace {

// Puts the case's ports into a text of its row.
class PortNames {
  public:
    explicit PortNames(ChatWorld &world) : world_(world) {}

    std::string operator()(std::string text) {
        for (const std::string name : {"{peer+65536}", "{peer}", "{free2}", "{free}"})
            for (auto at = text.find(name); at != std::string::npos; at = text.find(name))
                text.replace(at, name.size(), std::to_string(port(name)));
        return text;
    }
    std::vector<std::string> operator()(std::vector<std::string> texts) {
        for (auto &text : texts)
            text = (*this)(text);
        return texts;
    }
    std::uint16_t portNumber(const std::string &text) { return static_cast<std::uint16_t>(std::stoul((*this)(text))); }

  private:
    std::int32_t port(const std::string &name) {
        if (name == "{peer}")
            return world_.peerPort();
        if (name == "{peer+65536}")
            return 65536 + world_.peerPort();
        auto &chosen = free_[name];
        if (chosen == 0)
            chosen = world_.freePort();
        return chosen;
    }

    ChatWorld &world_;
    std::map<std::string, std::uint16_t> free_;
};

std::vector<std::string> boxesOf(const std::vector<std::string> &events) {
    std::vector<std::string> boxes;
    for (const auto &event : events)
        if (event.rfind("box ", 0) == 0)
            boxes.push_back(event);
    return boxes;
}

} // namespace

void runChatCase(const ChatCase &chatCase, ChatWorld &world) {
    using Kind = Step::Kind;
    PortNames ports(world);
    int stepNumber = 0;
    for (const auto &step : chatCase.steps) {
        SCOPED_TRACE("step " + std::to_string(++stepNumber));
        switch (step.kind) {
        case Kind::exec:
            world.exec(step.action, ports(step.text));
            break;
        case Kind::direct:
            world.direct(step.action, ports(step.text));
            break;
        case Kind::peerSends:
            world.peerSend(step.text, ports.portNumber(step.name));
            break;
        case Kind::forget:
            world.forget();
            break;
        case Kind::variable:
            EXPECT_EQ(world.variable(step.name), step.text) << step.name;
            break;
        case Kind::noVariables:
            EXPECT_EQ(world.variableSets(), 0u);
            break;
        case Kind::desktop:
            EXPECT_THAT(world.desktop(), ::testing::ElementsAreArray(ports(step.events)));
            break;
        case Kind::desktopEndsWith: {
            const auto events = world.desktop();
            const auto expected = ports(step.events);
            ASSERT_GE(events.size(), expected.size());
            EXPECT_THAT(std::vector<std::string>(events.end() - static_cast<std::ptrdiff_t>(expected.size()),
                                                 events.end()),
                        ::testing::ElementsAreArray(expected));
            break;
        }
        case Kind::boxes:
            EXPECT_THAT(boxesOf(world.desktop()), ::testing::ElementsAreArray(ports(step.events)));
            break;
        case Kind::peerGets: {
            const auto datagram = world.peerReceive(true);
            ASSERT_TRUE(datagram.has_value());
            EXPECT_EQ(datagram->text, step.text);
            if (!step.name.empty()) {
                EXPECT_EQ(datagram->senderPort, ports.portNumber(step.name));
            }
            break;
        }
        case Kind::peerGetsNothing:
            EXPECT_FALSE(world.peerReceive(false).has_value());
            break;
        case Kind::portFree:
            EXPECT_TRUE(world.canBind(ports.portNumber(step.text))) << step.text;
            break;
        case Kind::setAfterDesktop:
            EXPECT_EQ(world.desktopEventsAtLastSet(), world.desktop().size());
            break;
        case Kind::binds:
            if (const auto binds = world.binds()) {
                EXPECT_THAT(*binds, ::testing::ElementsAreArray(ports(step.events)));
            }
            break;
        case Kind::selects:
            if (const auto selects = world.selects()) {
                EXPECT_THAT(*selects, ::testing::ElementsAreArray(step.events));
            }
            break;
        }
    }
}

} // namespace parlino::cases
