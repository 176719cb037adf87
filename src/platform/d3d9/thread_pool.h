#pragma once
// A fixed set of worker threads that run the items of one job at a time. A job either runs
// to its end with the caller helping (Run), or starts on the workers alone while the caller
// goes on with other work (Start) until it waits for it (Wait).
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
    void Run(int count, std::function<void(int)> item);
    // The same without waiting; without workers it runs at once. One job at a time: a
    // started job must be waited for before the next one.
    void Start(int count, std::function<void(int)> item);
    // Helps with the started job, if any, until it is done.
    void Wait();

private:
    void WorkerLoop();
    void RunItems();

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::function<void(int)> item_;
    int count_ = 0;
    std::atomic<int> next_{0};
    int busy_ = 0;
    bool started_ = false;
    unsigned generation_ = 0;
    bool stop_ = false;
};
