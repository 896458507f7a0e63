// Playing publications against a recording environment: what reaches the
// module, what is printed, and how loops, conditions and faults behave.
#include "host/publication_runner.h"

#include <gtest/gtest.h>

#include <sstream>

namespace parlino::host {
namespace {

const std::vector<RegisteredAction> actions = {{3, "send", "", "", 1}, {4, "receive", "", "", 1}};

// Records actions and pauses; "receive" hands out the queued texts in turn.
class RecordingEnvironment : public PublicationEnvironment {
  public:
    explicit RecordingEnvironment(HostVariables &variables) : variables_(variables) {}
    void runAction(std::int32_t number, const std::string &parameter) override {
        calls.push_back(std::to_string(number) + ":" + parameter);
        if (number == 4) {
            variables_.set("heard", incoming.empty() ? "" : incoming.front());
            if (!incoming.empty())
                incoming.erase(incoming.begin());
        }
    }
    void pause(std::uint32_t milliseconds) override { calls.push_back("pause " + std::to_string(milliseconds)); }

    std::vector<std::string> calls;
    std::vector<std::string> incoming;

  private:
    HostVariables &variables_;
};

struct Played {
    RunOutcome outcome;
    std::vector<std::string> calls;
    std::string printed;
};

Played play(const std::string &text, HostVariables &variables, std::vector<std::string> incoming = {}) {
    std::vector<PublicationError> errors;
    const auto publication = parsePublication(text, actions, errors);
    EXPECT_TRUE(errors.empty()) << (errors.empty() ? "" : errors.front().message);
    RecordingEnvironment environment(variables);
    environment.incoming = std::move(incoming);
    std::ostringstream out;
    Played played;
    played.outcome = runPublication(publication, variables, environment, out);
    played.calls = environment.calls;
    played.printed = out.str();
    return played;
}

TEST(PublicationRunner, FillsInVariablesWhenEachLineRuns) {
    HostVariables variables;
    variables.set("peer", "127.0.0.1");
    const auto played = play("set port = 4000\nsend [peer]|[port]|[[x] [nope] [a b]\nset port = 4001\n"
                             "send [peer]|[port]|\nprint [port]\n",
                             variables);
    EXPECT_TRUE(played.outcome.finished);
    EXPECT_EQ(played.calls, (std::vector<std::string>{"3:127.0.0.1|4000|[x]  [a b]", "3:127.0.0.1|4001|"}));
    EXPECT_EQ(played.printed, "4001\n");
}

TEST(PublicationRunner, RepeatCountsAndNamesTheRound) {
    HostVariables variables;
    variables.set("n", "3");
    const auto played = play("repeat [n] as i\n  print round [i]\nend\nrepeat 0\n  print never\nend\n", variables);
    EXPECT_EQ(played.printed, "round 1\nround 2\nround 3\n");
}

TEST(PublicationRunner, RepeatUntilChecksBeforeEachRoundAndStopsAtItsLimit) {
    HostVariables variables;
    auto played = play("repeat 10 until heard = bye\n  receive\n  if heard\n    print < [heard]\n  end\nend\n",
                       variables, {"", "one", "\x1b[2J\xc2\x9b" "31mtwo", "bye", "late"});
    // What arrives is printed visibly, never as a terminal's control.
    EXPECT_EQ(played.printed, "< one\n< ^[[2J<U+009B>31mtwo\n< bye\n");
    EXPECT_EQ(played.calls.size(), 4u);

    HostVariables fresh;
    played = play("repeat 3 until heard = bye\n  receive\nend\n", fresh, {"x", "y", "z", "bye"});
    EXPECT_EQ(played.calls.size(), 3u);
    EXPECT_TRUE(played.outcome.finished);

    variables.set("ready", "yes");
    played = play("repeat until ready\n  receive\nend\n", variables);
    EXPECT_TRUE(played.calls.empty());
}

TEST(PublicationRunner, FailStopsWithItsLineAndText) {
    HostVariables variables;
    variables.set("status", "Error");
    const auto played = play("print before\nif status != Ok\n  fail cannot open [status]\nend\nprint after\n",
                             variables);
    EXPECT_FALSE(played.outcome.finished);
    EXPECT_EQ(played.outcome.line, 3);
    EXPECT_EQ(played.outcome.message, "cannot open Error");
    EXPECT_EQ(played.printed, "before\n");
}

TEST(PublicationRunner, CountsFromVariablesAreCheckedWhenTheyRun) {
    struct Case {
        const char *text;
        const char *value;
        bool finished;
    };
    for (const auto &c : {Case{"pause [t]\n", "250", true}, Case{"pause [t]\n", "", false},
                          Case{"pause [t]\n", "3600001", false}, Case{"repeat [t]\nend\n", "-1", false},
                          Case{"repeat [t]\nend\n", "12x", false}, Case{"repeat [t]\nend\n", "1000000", true}}) {
        HostVariables variables;
        variables.set("t", c.value);
        const auto played = play(std::string("print start\n") + c.text, variables);
        EXPECT_EQ(played.outcome.finished, c.finished) << c.text << " with " << c.value;
        if (!c.finished) {
            EXPECT_EQ(played.outcome.line, 2);
            EXPECT_NE(played.outcome.message.find("[t]"), std::string::npos) << played.outcome.message;
        }
    }
}

} // namespace
} // namespace parlino::host
