#include "platform/d3d9/thread_pool.h"

#include <algorithm>

ThreadPool::ThreadPool(unsigned threads) {
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 1; i < threads; ++i) workers_.emplace_back([this] { WorkerLoop(); });
}

ThreadPool::~ThreadPool() {
    Wait();
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (auto& worker : workers_) worker.join();
}

void ThreadPool::RunItems() {
    for (int i = next_.fetch_add(1); i < count_; i = next_.fetch_add(1)) item_(i);
}

void ThreadPool::Run(int count, std::function<void(int)> item) {
    Start(count, std::move(item));
    Wait();
}

void ThreadPool::Start(int count, std::function<void(int)> item) {
    Wait();
    if (count <= 0) return;
    if (workers_.empty()) {
        for (int i = 0; i < count; ++i) item(i);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        item_ = std::move(item);
        count_ = count;
        next_.store(0);
        busy_ = static_cast<int>(workers_.size());
        started_ = true;
        ++generation_;
    }
    wake_.notify_all();
}

void ThreadPool::Wait() {
    if (!started_) return;
    RunItems();
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return busy_ == 0; });
    started_ = false;
    item_ = nullptr;
}

void ThreadPool::WorkerLoop() {
    unsigned seen = 0;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
            if (stop_) return;
            seen = generation_;
        }
        RunItems();
        std::lock_guard lock(mutex_);
        if (--busy_ == 0) done_.notify_one();
    }
}
