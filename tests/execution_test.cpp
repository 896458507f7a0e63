#include "fakes/recording_desktop.h"
#include "fakes/recording_host.h"
#include "parlino.h"

#include <gtest/gtest.h>

#include <cstring>

namespace parlino {
namespace {

class ExecutionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::recordingHost().registerModule();
        testing::recordingHost().clear();
        testing::recordingDesktop().reset();
    }
};

TEST_F(ExecutionTest, EditAnswersForNumbersOneToTen) {
    for (int32_t number = -2; number <= 12; ++number)
        EXPECT_EQ(nbEditAction(number, 1234), number >= 1 && number <= 10 ? 1 : 0) << number;
    EXPECT_EQ(nbEditAction(INT32_MIN, 0), 0);
    EXPECT_EQ(nbEditAction(INT32_MAX, 0), 0);
    EXPECT_TRUE(testing::recordingHost().variableSets().empty());
    EXPECT_TRUE(testing::recordingDesktop().events.empty());
}

TEST_F(ExecutionTest, NumbersThatNameNoActionRunNothing) {
    const char *text = "5000";
    for (int32_t number : {0, 6, -1, 11, INT32_MIN, INT32_MAX})
        EXPECT_EQ(nbExecAction(number, &text), 0) << number;
    EXPECT_TRUE(testing::recordingHost().variableSets().empty());
    EXPECT_TRUE(testing::recordingDesktop().events.empty());
}

TEST_F(ExecutionTest, RunsTheActionWithoutTouchingTheHostsText) {
    char text[] = "0.0.0.0|5000|hello";
    const char *reference = text;
    EXPECT_EQ(nbExecAction(5, &reference), 1); // close: nothing open, no effect
    EXPECT_EQ(nbExecAction(3, &reference), 1); // send with no port open: the 52 box
    EXPECT_EQ(reference, text);
    EXPECT_STREQ(text, "0.0.0.0|5000|hello");
    EXPECT_EQ(testing::recordingDesktop().messageBoxes().size(), 1u);
}

TEST_F(ExecutionTest, NullReferencesRunTheActionWithTheEmptyText) {
    const char *nullText = nullptr;
    EXPECT_EQ(nbExecAction(4, &nullText), 1);
    EXPECT_EQ(nbExecAction(4, nullptr), 1);
    const auto sets = testing::recordingHost().variableSets();
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[1].name, "qv_chat_text");
    EXPECT_EQ(sets[1].value, std::nullopt);
}

TEST_F(ExecutionTest, TheEmptyExportDoesNothing) {
    EXPECT_EQ(QV_CHAT_MYIP("anything"), 0);
    EXPECT_EQ(QV_CHAT_MYIP(nullptr), 0);
    EXPECT_TRUE(testing::recordingHost().variableSets().empty());
    EXPECT_TRUE(testing::recordingDesktop().events.empty());
}

} // namespace
} // namespace parlino
