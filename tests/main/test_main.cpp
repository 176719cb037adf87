// Every test program starts with no sound card, no message boxes and no browser; a run
// that sets one of these itself (the runs under a virtual X server) keeps its own value.
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    static const char* const kDefaults[][2] = {
        {"SDL_AUDIODRIVER", "dummy"}, {"ALSOFT_DRIVERS", "null"}, {"ALSOFT_CONF", "/dev/null"},
        {"VELK_HEADLESS", "1"},       {"VELK_WEB_OPENER", "true"},
    };
    for (const auto& variable : kDefaults) setenv(variable[0], variable[1], 0);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
