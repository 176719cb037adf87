#include "platform/linux/message_box.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

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

// An environment variable set (or, with nullptr, unset) until the end of the scope.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        if (old) old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedVariable() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// A box that cannot be shown (here: no X server at that display) is not an answer nobody
// saw: its text goes to standard error as headless.
TEST(MessageBox, BoxThatCannotBeShownPrintsItsText) {
    const ScopedVariable driver("SDL_VIDEODRIVER", "x11"), display("DISPLAY", ":4093"), headless("VELK_HEADLESS", nullptr),
        wayland("WAYLAND_DISPLAY", nullptr);
    ASSERT_FALSE(IsHeadless());
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowMessageBox("pick", "Choose", MessageBoxKind::AbortRetryIgnore), MessageBoxAnswer::Retry);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[Choose] pick\n");
}

}  // namespace
