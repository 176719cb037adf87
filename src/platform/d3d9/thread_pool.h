#pragma once
// A fixed set of worker threads that run the items of jobs. A job either runs to its end
// with the caller helping (Run), or starts on the workers alone while the caller goes on
// with other work (Start, Chain) until it waits for it (Wait, WaitOlder). A chained job
// follows the one before item by item, so the workers need not wait for a whole job to end
// before they start on the next.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class ThreadPool {
public:
    // threads 0: one per core, the caller counting as one.
    explicit ThreadPool(unsigned threads = 0);
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // Calls item(i) for every i in [0, count), in any order and on any thread.
    void Run(int count, std::function<void(int)> item);
    // The same without waiting, after every job in flight has ended; without workers it
    // runs at once.
    void Start(int count, std::function<void(int)> item);
    // The same behind the job started last: item i begins once that job's item i (if it has
    // one) has ended. At most two jobs are in flight: the oldest is waited for first.
    void Chain(int count, std::function<void(int)> item);
    // Helps with the jobs in flight until they are done.
    void Wait();
    // Helps with the jobs in flight but the one started last until they are done.
    void WaitOlder();

private:
    struct Job {
        std::function<void(int)> item;
        int count = 0, unfinished = 0;
        int next = 0;                // the items before it are all claimed
        std::vector<bool> claimed;  // kept from job to job: grows only
    };
    struct Claim {
        uint64_t job;
        int item;
    };

    Job& Slot(uint64_t job) { return jobs_[job % 2]; }
    // Helps until only the jobs from sequence number keep on are in flight.
    void WaitUntil(uint64_t keep);
    // An item of a job before end that may begin now, if any (under the lock).
    bool TryClaim(uint64_t end, Claim& claim);
    bool Unclaimed(uint64_t end);
    // Waits for a change; counted as held back while items before end remain unclaimed.
    void Sleep(std::unique_lock<std::mutex>& lock, uint64_t end);
    void RunClaim(std::unique_lock<std::mutex>& lock, const Claim& claim);
    void WorkerLoop();

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    Job jobs_[2];
    // The jobs in flight have the sequence numbers [first_, end_).
    uint64_t first_ = 0, end_ = 0;
    // For each item index, one more than the sequence number of the last job whose item ended.
    std::vector<uint64_t> itemEnded_;
    // Threads waiting for an item held back by the job before it.
    int heldBack_ = 0;
    bool stop_ = false;
};
