// Playing publications against a recording environment: what reaches the
// module, what is printed, and how loops, conditions and faults behave.
#include "host/core/publication_runner.h"
#include "host/core/visible_text.h"

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
    bool keepRunning() override { return linesLeft > 0 && linesLeft-- > 0; }

    std::vector<std::string> calls;
    std::vector<std::string> incoming;
    std::size_t linesLeft = SIZE_MAX;

  private:
    HostVariables &variables_;
};

struct Played {
    RunOutcome outcome;
    std::vector<std::string> calls;
    std::string printed;
};

Played play(const std::string &text, HostVariables &variables, std::vector<std::string> incoming = {},
            std::size_t linesLeft = SIZE_MAX) {
    std::vector<PublicationError> errors;
    const auto publication = parsePublication(text, actions, errors);
    EXPECT_TRUE(errors.empty()) << (errors.empty() ? "" : errors.front().message);
    RecordingEnvironment environment(variables);
    environment.incoming = std::move(incoming);
    environment.linesLeft = linesLeft;
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
    variables.set("pad", " a ");
    // Blanks around a set's text are dropped; those inside a value filled in stay.
    const auto played = play("set port = 4000\nsend [peer]|[port]|[[x] [nope] [a b]\nset port = 4001 \n"
                             "send [peer]|[port]|\nset kept =  [pad]\nprint [port]|[kept]|\n",
                             variables);
    EXPECT_TRUE(played.outcome.finished);
    EXPECT_EQ(played.calls, (std::vector<std::string>{"3:127.0.0.1|4000|[x]  [a b]", "3:127.0.0.1|4001|"}));
    EXPECT_EQ(played.printed, "4001| a |\n");
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

TEST(PublicationRunner, RequireStopsWhenAVariableHasNoValue) {
    struct Case {
        const char *given; // NAME=VALUE, or empty
        bool finished;
        const char *message;
    };
    for (const auto &c : {Case{"", false, "port, peer have no value (give them with --set port=VALUE --set peer=VALUE)"},
                          Case{"port=1", false, "peer has no value (give it with --set peer=VALUE)"},
                          Case{"peer=2", false, "port has no value (give it with --set port=VALUE)"},
                          Case{"both", true, ""}}) {
        HostVariables variables;
        const std::string given = c.given;
        if (given == "both" || given == "port=1")
            variables.set("port", "1");
        if (given == "both" || given == "peer=2")
            variables.set("peer", "2");
        const auto played = play("# needs both\nrequire port peer\nsend [port]\n", variables);
        EXPECT_EQ(played.outcome.finished, c.finished) << c.given;
        EXPECT_EQ(played.outcome.message, c.message) << c.given;
        EXPECT_EQ(played.calls.size(), c.finished ? 1u : 0u) << c.given;
        EXPECT_EQ(played.outcome.line, c.finished ? 0 : 2) << c.given;
    }
}

TEST(PublicationRunner, RunsTheDeepestNestingAndStopsWhenTheEnvironmentSays) {
    HostVariables variables;
    std::string deep;
    for (std::size_t level = 0; level < deepestNesting; ++level)
        deep.insert(0, "repeat 1\n").append("end\n");
    deep.insert(deepestNesting * 9, "print inside\n");
    auto played = play(deep, variables);
    EXPECT_TRUE(played.outcome.finished);
    EXPECT_EQ(played.printed, "inside\n");

    // Lines and rounds count: print, repeat, round, send, round, send, round.
    played = play("print once\nrepeat until never\n  send x\nend\n", variables, {}, 6);
    EXPECT_FALSE(played.outcome.finished);
    EXPECT_EQ(played.outcome.line, 2);
    EXPECT_EQ(played.calls.size(), 2u);
    played = play("repeat until never\nend\n", variables, {}, 1000);
    EXPECT_FALSE(played.outcome.finished);
}

TEST(PublicationRunner, BoundsWhatNamesMakeAndPrintsALongLineWhole) {
    struct Case {
        const char *title;
        std::string text;
        int stoppedAt; // 0: finished
        const char *messagePart;
    };
    const std::string longLine(3 * 64 * 1024, 'x');
    for (const auto &c :
         {Case{"Doubling", "set a = x\nrepeat 40\n  set a = [a][a]\nend\n", 3, "the value of a would be more than 1048576"},
          Case{"ManyNamesOnALine", "set a = " + std::string(600 * 1024, 'y') + "\nprint [a][a]\n", 2,
               "more than 1048576 bytes long"},
          Case{"AsLongAsWritten", "set a = z\nsend " + longLine + "[a]\n", 0, ""},
          Case{"CountShortened", "set a = " + longLine + "\nrepeat [a]\nend\n", 2, "xxx...\", not a number"}}) {
        HostVariables variables;
        const auto played = play(c.text, variables);
        EXPECT_EQ(played.outcome.line, c.stoppedAt) << c.title;
        EXPECT_NE(played.outcome.message.find(c.messagePart), std::string::npos) << c.title << ": " << played.outcome.message;
        EXPECT_LE(variables.get("a").size(), largestValue) << c.title;
    }
    // Written in pieces, a long line shows as it would whole: no character
    // or control is cut in two.
    std::string line;
    for (int i = 0; i < 40000; ++i)
        line += i % 7 == 0 ? "\x1b\xc3\xa9\xe2\x80\xae" : "abc";
    HostVariables variables;
    EXPECT_EQ(play("print " + line + "\n", variables).printed, visibleText(line) + "\n");
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
