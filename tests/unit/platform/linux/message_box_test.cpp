#include "platform/linux/message_box.h"

#include <gtest/gtest.h>

namespace {

TEST(MessageBox, HeadlessPrintsAndReturnsTheDefaultAnswer) {
    ASSERT_TRUE(IsHeadless()) << "tests run with a dummy video driver";
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowMessageBox("text", "Caption", MessageBoxKind::Information), MessageBoxAnswer::Ok);
    EXPECT_EQ(ShowMessageBox("pick", "Choose", MessageBoxKind::AbortRetryIgnore), MessageBoxAnswer::Retry);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[Caption] text\n[Choose] pick\n");
}

TEST(MessageBox, ScriptedAnswersComeFirstInOrder) {
    ScriptMessageBoxAnswers({MessageBoxAnswer::Abort, MessageBoxAnswer::Ignore});
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowMessageBox("a", "c", MessageBoxKind::AbortRetryIgnore), MessageBoxAnswer::Abort);
    EXPECT_EQ(ShowMessageBox("b", "c", MessageBoxKind::AbortRetryIgnore), MessageBoxAnswer::Ignore);
    EXPECT_EQ(ShowMessageBox("c", "c", MessageBoxKind::AbortRetryIgnore), MessageBoxAnswer::Retry);
    testing::internal::GetCapturedStderr();
}

}  // namespace
