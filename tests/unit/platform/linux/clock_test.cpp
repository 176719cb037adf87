#include "platform/linux/clock.h"

#include <gtest/gtest.h>

namespace {

TEST(Clock, SleepLastsAtLeastItsTimeOnTheMillisecondCounter) {
    const uint32_t before = TimeGetTime();
    SleepMs(30);
    const uint32_t slept = TimeGetTime() - before;  // unsigned: right across a wrap too
    EXPECT_GE(slept, 30u);
    EXPECT_LT(slept, 1000u);
}

}  // namespace
