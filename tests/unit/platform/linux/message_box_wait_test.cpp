#include "platform/linux/message_box_wait.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

std::atomic<bool> g_ending = false;
bool Ending() { return g_ending; }

// What SDL does for a box: fork a child that shows it, and wait for that child, retrying
// when a signal interrupts the wait.
int ForkAndWait(unsigned childSeconds) {
    const pid_t child = fork();
    if (child == 0) {
        sleep(childSeconds);
        _exit(0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

TEST(MessageBoxWait, EndingSessionEndsTheBoxChildOnlyThen) {
    const struct {
        const char* name;
        bool endsAtOnce;
        std::chrono::milliseconds endAfter;  // 0: never
        unsigned childSeconds;
        bool killed;
    } cases[] = {
        {"ending while the box is open", false, 300ms, 30, true},
        {"ending before the box forks", true, 0ms, 30, true},
        {"a box answered before the end", false, 0ms, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_ending = c.endsAtOnce;
        std::thread ender([&c] {
            if (c.endAfter == 0ms) return;
            std::this_thread::sleep_for(c.endAfter);
            g_ending = true;
        });
        int status = -1;
        const auto started = std::chrono::steady_clock::now();
        ShowUntil([&] { status = ForkAndWait(c.childSeconds); }, Ending);
        ender.join();
        EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
        EXPECT_EQ(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL, c.killed) << "status " << status;
        if (!c.killed) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        }
    }
}

// A child another thread forks while a box is open is none of the box's business.
TEST(MessageBoxWait, OtherThreadsForksAreLeftAlone) {
    g_ending = true;
    int other = -1;
    ShowUntil(
        [&] {
            std::thread elsewhere([&] { other = ForkAndWait(1); });
            elsewhere.join();
        },
        Ending);
    EXPECT_TRUE(WIFEXITED(other) && WEXITSTATUS(other) == 0) << "status " << other;
}

}  // namespace
