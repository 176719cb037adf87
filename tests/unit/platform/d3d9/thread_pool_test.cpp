#include "platform/d3d9/thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <vector>

namespace {

// Each item index is one stretch of memory that chained jobs write in turn, as the bands of
// a target are: the first job's early items are slow, so the next job's items would overtake
// them if nothing held them back.
class ChainedJobs : public testing::TestWithParam<unsigned> {
protected:
    static constexpr int kItems = 24;

    // Item i of the job with this number finds item i of the job before it ended.
    std::function<void(int)> Step(int number) {
        return [this, number](int i) {
            if (number == 1 && i < 4) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            seen_[i].push_back(last_[i]);
            last_[i] = number;
        };
    }

    std::vector<int> last_ = std::vector<int>(kItems * 2, 0);
    std::vector<std::vector<int>> seen_ = std::vector<std::vector<int>>(kItems * 2);
};

TEST_P(ChainedJobs, EachItemFollowsTheSameItemOfTheJobBefore) {
    ThreadPool pool(GetParam());
    pool.Chain(kItems, Step(1));
    pool.Chain(kItems, Step(2));
    pool.Chain(kItems * 2, Step(3));  // items past the end of the job before wait for nothing
    pool.Wait();
    for (int i = 0; i < kItems; ++i) EXPECT_EQ(seen_[i], (std::vector<int>{0, 1, 2})) << "item " << i;
    for (int i = kItems; i < kItems * 2; ++i) EXPECT_EQ(seen_[i], std::vector<int>{0}) << "item " << i;
}

TEST_P(ChainedJobs, WaitOlderLeavesOnlyTheNewestJobRunning) {
    ThreadPool pool(GetParam());
    std::atomic<bool> release{false};
    pool.Chain(kItems, Step(1));
    pool.Chain(kItems, [&](int) {
        while (GetParam() > 1 && !release.load()) std::this_thread::yield();
    });
    pool.WaitOlder();
    for (int i = 0; i < kItems; ++i) EXPECT_EQ(last_[i], 1) << "item " << i;
    release = true;
    pool.Wait();
}

TEST_P(ChainedJobs, StartWaitsForEveryJobInFlight) {
    ThreadPool pool(GetParam());
    std::atomic<int> ended{0};
    std::vector<int> endedBefore(kItems * 2, -1);
    pool.Chain(kItems, [&](int i) {
        if (i < 4) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ++ended;
    });
    pool.Start(kItems * 2, [&](int i) { endedBefore[i] = ended.load(); });
    pool.Wait();
    EXPECT_EQ(endedBefore, std::vector<int>(kItems * 2, kItems));
}

INSTANTIATE_TEST_SUITE_P(Threads, ChainedJobs, testing::Values(1u, 2u, 8u));

}  // namespace
