#pragma once
// A fixed set of worker threads that, together with the caller, run the items of one
// job at a time; the caller returns when every item is done.
#include <atomic>
#include <condition_variable>
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
    void Run(int count, const std::function<void(int)>& item);
    unsigned Threads() const { return static_cast<unsigned>(workers_.size()) + 1; }

private:
    void WorkerLoop();
    void RunItems();

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    const std::function<void(int)>* item_ = nullptr;
    int count_ = 0;
    std::atomic<int> next_{0};
    int busy_ = 0;
    unsigned generation_ = 0;
    bool stop_ = false;
};
