// Message boxes from the scripts: which ones show, what they are titled, and what each
// answer does.
#include "api_fixture.h"
#include "app/velk_main.h"
#include "core/config.h"
#include "platform/linux/events.h"
#include "platform/linux/message_box.h"

namespace {

class MsgApi : public ApiTest {
protected:
    // What the boxes of the code printed (headless, every shown box prints one line).
    std::string Shown(const std::string& code, std::deque<MessageBoxAnswer> answers = {}) {
        ScriptMessageBoxAnswers(std::move(answers));
        testing::internal::CaptureStderr();
        const std::string error = Run(code);
        std::string shown = testing::internal::GetCapturedStderr();
        ScriptMessageBoxAnswers({});
        return error.empty() ? shown : "error: " + error;
    }
};

TEST_F(MsgApi, WithoutAnIdTheBoxAlwaysShows) {
    EXPECT_EQ(Shown("msg('hello') msg('again', 0) msg('negative', -3) msg('rounds to 0', 0.5)"),
              "[VELK message] hello\n[VELK message] again\n[VELK message] negative\n[VELK message] rounds to 0\n");
    EXPECT_EQ(Shown("msg()"), "[VELK message] \n");
}

TEST_F(MsgApi, IgnoreSilencesTheIdAndRetryShowsItAgain) {
    EXPECT_EQ(Shown("msg('first', 5) msg('second', 5) msg('third', 5) msg('other', 6)",
                    {MessageBoxAnswer::Retry, MessageBoxAnswer::Ignore, MessageBoxAnswer::Retry}),
              "[VELK message [5]] first\n[VELK message [5]] second\n[VELK message [6]] other\n");
    // Ids round to the nearest integer, halves to the even one.
    EXPECT_EQ(Shown("msg('later', 5) msg('5.4', 5.4) msg('4.5', 4.5) msg('5.5', 5.5)"),
              "[VELK message [4]] 4.5\n[VELK message [6]] 5.5\n");
}

TEST_F(MsgApi, HeadlessAnswerIsRetrySoTheIdKeepsShowing) {
    EXPECT_EQ(Shown("msg('one', 11) msg('two', 11)"), "[VELK message [11]] one\n[VELK message [11]] two\n");
}

TEST_F(MsgApi, AbortSilencesTheIdAndClosesThroughTheNormalPath) {
    EXPECT_EQ(PumpOneEvent(), PumpResult::Idle);
    EXPECT_EQ(Shown("msg('fatal', 7) msg('fatal', 7)", {MessageBoxAnswer::Abort}), "[VELK message [7]] fatal\n");
    EXPECT_EQ(PumpOneEvent(), PumpResult::Quit);
    EXPECT_EQ(PumpOneEvent(), PumpResult::Idle) << "one close request, handled once";
}

TEST_F(MsgApi, AbortCloseCanBeKeptOpenByTheScriptsExit) {
    g_config.confirm_exit = true;
    g_app.close_origin = 2;  // the player had already tried the close box
    ASSERT_EQ(Run("exits = 0 function exit() exits = exits + 1 end"), "");
    Shown("msg('fatal', 8)", {MessageBoxAnswer::Abort});
    EXPECT_EQ(PumpOneEvent(), PumpResult::Handled);
    EXPECT_EQ(Eval("exits"), "1");
    EXPECT_EQ(g_app.close_origin, 2) << "a posted close leaves the origin alone";
}

TEST_F(MsgApi, LongTextsAreCutTo1023Units) {
    const std::string shown = Shown("msg(string.rep('\\226\\130\\172', 2000), 0)");  // the euro sign: 3 bytes, 1 unit
    const std::string prefix = "[VELK message] ";
    ASSERT_EQ(shown.size(), prefix.size() + 1023 * 3 + 1);
    EXPECT_EQ(shown.substr(prefix.size(), 3), "\xE2\x82\xAC");
}

TEST(MessageBoxAnswers, ParsedFromTheEnvironmentText) {
    EXPECT_EQ(ParseMessageBoxAnswers("ignore,Retry, abort,,ok,maybe"),
              (std::deque<MessageBoxAnswer>{MessageBoxAnswer::Ignore, MessageBoxAnswer::Retry, MessageBoxAnswer::Abort,
                                            MessageBoxAnswer::Ok}));
    EXPECT_EQ(ParseMessageBoxAnswers(""), std::deque<MessageBoxAnswer>{});
}

}  // namespace
