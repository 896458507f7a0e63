// Reading publications: every fault is found, with its line, before anything
// runs; good files give the statements the runner expects.
#include "host/core/publication.h"

#include <gtest/gtest.h>

namespace parlino::host {
namespace {

const std::vector<RegisteredAction> chatActions = {
    {1, "QV_chat_my_ip", "", "ACTIONPARAM_ALPHA", 1},
    {2, "QV_chat_open_port", "", "ACTIONPARAM_ALPHA", 1},
    {3, "QV_chat_send_txt", "", "ACTIONPARAM_ALPHA", 1},
};

struct FaultyFile {
    const char *title;
    std::string text;
    std::vector<int> faultyLines;
    const char *messagePart; // found in the first message
};

// `levels` if blocks, one inside the other, each closed.
std::string nested(std::size_t levels) {
    std::string text;
    for (std::size_t level = 0; level < levels; ++level)
        text += "if x\n";
    for (std::size_t level = 0; level < levels; ++level)
        text += "end\n";
    return text;
}

void PrintTo(const FaultyFile &file, std::ostream *out) { *out << file.title; }

class FaultyPublication : public ::testing::TestWithParam<FaultyFile> {};

TEST_P(FaultyPublication, IsRefusedWithTheLinesAtFault) {
    std::vector<PublicationError> errors;
    const auto publication = parsePublication(GetParam().text, chatActions, errors);
    EXPECT_TRUE(publication.statements.empty());
    std::vector<int> lines;
    for (const auto &error : errors)
        lines.push_back(error.line);
    EXPECT_EQ(lines, GetParam().faultyLines);
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.front().message.find(GetParam().messagePart), std::string::npos) << errors.front().message;
}

INSTANTIATE_TEST_SUITE_P(
    Publications, FaultyPublication,
    ::testing::Values(
        FaultyFile{"UnknownAction", "print a\nQV_chat_sned_txt 1|2|3\n", {2}, "\"QV_chat_sned_txt\""},
        FaultyFile{"LongWordShortened", std::string(5000, 'w') + "\n", {1}, "wwwwwwwwww...\""},
        FaultyFile{"WrongCaseSuggestsName", "qv_chat_my_ip\n", {1}, "did you mean \"QV_chat_my_ip\""},
        FaultyFile{"WrongCaseCommand", "Print x\n", {1}, "did you mean \"print\""},
        FaultyFile{"EndWithoutBlock", "print a\nend\n", {2}, "without"},
        FaultyFile{"EndWithWords", "repeat 2\nend now\n", {2}, "takes nothing"},
        FaultyFile{"BlockNeverClosed", "repeat 2\n  if x\n  end\n", {1}, "\"repeat\" has no \"end\""},
        FaultyFile{"RepeatWithoutCount", "repeat\nend\n", {1}, "expected \"repeat"},
        FaultyFile{"RepeatCountTooLarge", "repeat 1000001\nend\n", {1}, "expected \"repeat"},
        FaultyFile{"RepeatAsWithoutCount", "repeat as n until x\nend\n", {1}, "expected \"repeat"},
        FaultyFile{"RepeatTrailingWords", "repeat 3 times\nend\n", {1}, "expected \"repeat"},
        FaultyFile{"BadRepeatAlsoClosesAtEnd", "repeat x\nend\nprint ok\n", {1}, "expected \"repeat"},
        FaultyFile{"IfWithoutCondition", "if\nend\n", {1}, "expected \"if NAME\""},
        FaultyFile{"IfWithBadOperator", "if x == y\nend\n", {1}, "expected \"if NAME\""},
        FaultyFile{"IfWithBadName", "if a-b\nend\n", {1}, "expected \"if NAME\""},
        FaultyFile{"NoElse", "if x\nelse\nend\n", {2}, "no \"else\""},
        FaultyFile{"SetWithoutEquals", "set x 3\n", {1}, "set NAME = TEXT"},
        FaultyFile{"SetWithoutName", "set = 3\n", {1}, "set NAME = TEXT"},
        FaultyFile{"PauseNotANumber", "pause soon\n", {1}, "pause MILLISECONDS"},
        FaultyFile{"PauseTooLong", "pause 3600001\n", {1}, "pause MILLISECONDS"},
        FaultyFile{"ZeroByte", std::string("print a\0b\n", 10), {1}, "zero byte"},
        FaultyFile{"Utf16WithMarkNamedOnce", std::string("\xFF\xFEp\0r\0\n\0x\0\n\0", 12), {1},
                   "the file is UTF-16 (little-endian), not UTF-8"},
        FaultyFile{"Utf16BigEndianWithoutMark", std::string("\0p\0r\0\n", 6), {1}, "UTF-16 (big-endian)"},
        FaultyFile{"Utf32WithMark", std::string("\xFF\xFE\0\0p\0\0\0", 8), {1}, "UTF-32 (little-endian)"},
        FaultyFile{"RequireWithoutNames", "require\n", {1}, "require NAME"},
        FaultyFile{"RequireWithBadName", "require port peer-port\n", {1}, "require NAME"},
        FaultyFile{"NestingTooDeepOnce", nested(deepestNesting + 1) + nested(deepestNesting + 2) + "end\n",
                   {int(deepestNesting) + 1, 3 * int(deepestNesting) + 3, 4 * int(deepestNesting) + 7},
                   "more than 100 levels"},
        FaultyFile{"ByteOrderMarkOnlyAtStart", "print a\n\xEF\xBB\xBFprint b\n", {2}, "unknown action"},
        FaultyFile{"EveryFaultListed", "nope\nprint fine\npause x\nend\n", {1, 3, 4}, "\"nope\""}),
    [](const auto &testInfo) { return std::string(testInfo.param.title); });

TEST(Publication, ReadsActionsWithTheirParameterVerbatim) {
    std::vector<PublicationError> errors;
    const auto publication = parsePublication(
        "# comment\r\n\r\n  QV_chat_send_txt  1.2.3.4|5| hi  \r\nQV_chat_my_ip\nQV_chat_open_port [port]\n",
        chatActions, errors);
    ASSERT_TRUE(errors.empty());
    ASSERT_EQ(publication.statements.size(), 3u);
    EXPECT_EQ(publication.statements[0].actionNumber, 3);
    EXPECT_EQ(publication.statements[0].line, 3);
    // Only the one blank after the name is taken away; CR LF ends the line.
    EXPECT_EQ(publication.statements[0].text, " 1.2.3.4|5| hi  ");
    EXPECT_EQ(publication.statements[1].text, "");
    EXPECT_EQ(publication.statements[2].text, "[port]");
}

TEST(Publication, AcceptsWhatAPersonWrites) {
    struct Case {
        const char *title;
        std::string text;
        std::size_t statements;
    };
    for (const auto &c : {Case{"ByteOrderMark", "\xEF\xBB\xBFprint a\r\nQV_chat_my_ip\r\n", 2},
                          Case{"DeepestNesting", nested(deepestNesting), 1},
                          Case{"RequireSeveral", "require my_port  peer_port\t\n", 1}}) {
        std::vector<PublicationError> errors;
        const auto publication = parsePublication(c.text, chatActions, errors);
        EXPECT_TRUE(errors.empty()) << c.title << ": " << (errors.empty() ? "" : errors.front().message);
        EXPECT_EQ(publication.statements.size(), c.statements) << c.title;
    }
}

TEST(Publication, NestsBlocksAndReadsTheirHeads) {
    std::vector<PublicationError> errors;
    const auto publication = parsePublication("repeat [n] as i until done = yes\n"
                                              "  if x != [y]\n"
                                              "    set z =  a b \n"
                                              "  end\n"
                                              "end\n"
                                              "repeat until ready\n"
                                              "  pause [wait]\n"
                                              "end\n",
                                              chatActions, errors);
    ASSERT_TRUE(errors.empty()) << errors.front().message;
    ASSERT_EQ(publication.statements.size(), 2u);
    const auto &loop = publication.statements[0];
    EXPECT_EQ(loop.count, "[n]");
    EXPECT_EQ(loop.variable, "i");
    ASSERT_TRUE(loop.condition);
    EXPECT_EQ(loop.condition->kind, Condition::Kind::equals);
    EXPECT_EQ(loop.condition->text, "yes");
    ASSERT_EQ(loop.body.size(), 1u);
    const auto &test = loop.body[0];
    EXPECT_EQ(test.condition->kind, Condition::Kind::differs);
    EXPECT_EQ(test.condition->text, "[y]");
    ASSERT_EQ(test.body.size(), 1u);
    EXPECT_EQ(test.body[0].text, "a b");
    const auto &wait = publication.statements[1];
    EXPECT_TRUE(wait.count.empty());
    EXPECT_EQ(wait.condition->kind, Condition::Kind::hasValue);
    EXPECT_EQ(wait.body[0].count, "[wait]");
}

} // namespace
} // namespace parlino::host
