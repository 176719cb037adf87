#include "core/profile.h"

#include <gtest/gtest.h>

#include <string>

#include "core/config.h"
#include "fixtures/fake_clock.h"

namespace {

class ProfileTest : public ::testing::Test {
protected:
    FakeFrameTimer timer{1000};
    uint32_t& g_now = FakeClock::now;

    void SetUp() override {
        InitConfigDefaults();
        g_config.create_log = true;
        ProfileReset();
    }
    void TearDown() override { InitConfigDefaults(); }
    static std::string Print() {
        testing::internal::CaptureStderr();
        ProfilePrint();
        return testing::internal::GetCapturedStderr();
    }
    static std::string Logged(void (*call)(const char*), const char* tag) {
        testing::internal::CaptureStderr();
        call(tag);
        return testing::internal::GetCapturedStderr();
    }
};

TEST_F(ProfileTest, NinetyNineTagsFitAndTheHundredthIsRefused) {
    for (int i = 0; i < 99; ++i) ProfileStart(("tag" + std::to_string(i)).c_str());
    EXPECT_EQ(ProfileTagCount(), 99);
    EXPECT_NE(ProfileFindTag("tag98"), nullptr);
    const std::string log = Logged(ProfileStart, "tag99");
    EXPECT_NE(log.find("WARNING in ProfileStart: no more space to store the tag (\"tag99\")"), std::string::npos);
    EXPECT_EQ(ProfileFindTag("tag99"), nullptr);
    EXPECT_EQ(ProfileTagCount(), 99);
}

TEST_F(ProfileTest, NestingIsRefusedAndTimingGoesOn) {
    ProfileStart("a");
    g_now += 500;
    EXPECT_NE(Logged(ProfileStart, "a").find("nesting of equal tags not allowed (\"a\")"), std::string::npos);
    g_now += 500;
    ProfileStop("a");
    EXPECT_EQ(ProfileFindTag("a")->calls, 1);
    EXPECT_NEAR(ProfileFindTag("a")->total, 1.0, 1e-9);
}

TEST_F(ProfileTest, TwoSpansAddUp) {
    for (const uint32_t span : {250u, 750u}) {
        ProfileStart("a");
        g_now += span;
        ProfileStop("a");
        g_now += 1000;
    }
    EXPECT_EQ(ProfileFindTag("a")->calls, 2);
    EXPECT_NEAR(ProfileFindTag("a")->total, 1.0, 1e-9);
}

TEST_F(ProfileTest, StoppingATagThatIsNotRunningIsRefused) {
    ProfileStart("a");
    g_now += 100;
    ProfileStop("a");
    g_now += 5000;
    EXPECT_NE(Logged(ProfileStop, "a").find("Call is denied."), std::string::npos);
    EXPECT_NEAR(ProfileFindTag("a")->total, 0.1, 1e-9);
    EXPECT_NE(Logged(ProfileStop, "never").find("WARNING in ProfileStop: tag \"never\" was never started."),
              std::string::npos);
    EXPECT_NE(Logged(ProfileStop, "").find("ERROR in ProfileStop: a tag may not be \"\"."), std::string::npos);
    EXPECT_NE(Logged(ProfileStart, "").find("ERROR in ProfileStart: a tag may not be \"\"."), std::string::npos);
}

TEST_F(ProfileTest, ResetForgetsOpenTags) {
    ProfileStart("main_update");
    ProfileReset();
    EXPECT_NE(Logged(ProfileStop, "main_update").find("was never started"), std::string::npos);
}

TEST_F(ProfileTest, PrintSortsByTotalAndChargesOpenTags) {
    ProfileStart("small");
    g_now += 1000;
    ProfileStop("small");
    ProfileStart("main_update");
    g_now += 3000;
    const std::string report = Print();
    EXPECT_NE(report.find("Warning: \"main_update\" started but not stopped."), std::string::npos);
    const std::size_t big = report.find("< calls:    1, total:    3.00, share: 75.0% > - \"main_update\"");
    const std::size_t small = report.find("< calls:    1, total:    1.00, share: 25.0% > - \"small\"");
    ASSERT_NE(big, std::string::npos) << report;
    ASSERT_NE(small, std::string::npos) << report;
    EXPECT_LT(big, small);
}

TEST_F(ProfileTest, PrintWithNoElapsedTimeDividesByNothing) {
    ProfileStart("a");
    ProfileStop("a");
    const std::string report = Print();
    EXPECT_NE(report.find("nothing to show because timer ran for less than 1 clock-tick"), std::string::npos);
    EXPECT_NE(report.find("share:  0.0% > - \"a\""), std::string::npos) << report;
}

TEST_F(ProfileTest, PrintWithNoTags) { EXPECT_EQ(Print(), "ProfilePrint: nothing to print.\n"); }

TEST_F(ProfileTest, LongNamesFindTheirOwnRecord) {
    const std::string name(150, 'x');
    ProfileStart(name.c_str());
    g_now += 10;
    ProfileStop(name.c_str());
    EXPECT_EQ(ProfileTagCount(), 1);
    EXPECT_EQ(ProfileFindTag(name.c_str())->name.size(), 99u);
    EXPECT_FALSE(ProfileIsRunning(name.c_str()));
}

}  // namespace
