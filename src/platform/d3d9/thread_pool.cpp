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
    changed_.notify_all();
    for (auto& worker : workers_) worker.join();
}

void ThreadPool::Run(int count, std::function<void(int)> item) {
    Start(count, std::move(item));
    Wait();
}

void ThreadPool::Start(int count, std::function<void(int)> item) {
    Wait();
    Chain(count, std::move(item));
}

void ThreadPool::Chain(int count, std::function<void(int)> item) {
    if (count <= 0) return;
    if (workers_.empty()) {
        for (int i = 0; i < count; ++i) item(i);
        return;
    }
    WaitOlder();
    {
        std::lock_guard lock(mutex_);
        if (itemEnded_.size() < static_cast<size_t>(count)) itemEnded_.resize(static_cast<size_t>(count), 0);
        Job& job = Slot(end_++);
        job.item = std::move(item);
        job.count = job.unfinished = count;
        job.next = 0;
        job.claimed.assign(static_cast<size_t>(count), false);
    }
    changed_.notify_all();
}

void ThreadPool::Wait() {
    std::unique_lock lock(mutex_);
    const uint64_t end = end_;
    lock.unlock();
    WaitUntil(end);
}

void ThreadPool::WaitOlder() {
    std::unique_lock lock(mutex_);
    const uint64_t last = end_ == 0 ? 0 : end_ - 1;
    lock.unlock();
    WaitUntil(last);
}

void ThreadPool::WaitUntil(uint64_t keep) {
    std::unique_lock lock(mutex_);
    while (first_ < keep) {
        Claim claim;
        if (TryClaim(keep, claim))
            RunClaim(lock, claim);
        else
            Sleep(lock, keep);
    }
}

void ThreadPool::Sleep(std::unique_lock<std::mutex>& lock, uint64_t end) {
    const bool heldBack = Unclaimed(end);
    heldBack_ += heldBack;
    changed_.wait(lock);
    heldBack_ -= heldBack;
}

bool ThreadPool::TryClaim(uint64_t end, Claim& claim) {
    for (uint64_t s = first_; s < end; ++s) {
        Job& job = Slot(s);
        while (job.next < job.count && job.claimed[static_cast<size_t>(job.next)]) ++job.next;
        // Items held back until the job before has ended them are passed over.
        const int before = s > first_ ? Slot(s - 1).count : 0;
        for (int i = job.next; i < job.count; ++i) {
            const auto k = static_cast<size_t>(i);
            if (job.claimed[k] || (i < before && itemEnded_[k] < s)) continue;
            job.claimed[k] = true;
            claim = {s, i};
            return true;
        }
    }
    return false;
}

bool ThreadPool::Unclaimed(uint64_t end) {
    for (uint64_t s = first_; s < end; ++s)
        if (Slot(s).next < Slot(s).count) return true;
    return false;
}

void ThreadPool::RunClaim(std::unique_lock<std::mutex>& lock, const Claim& claim) {
    // The slot is not reused before all its items have ended.
    const std::function<void(int)>& item = Slot(claim.job).item;
    lock.unlock();
    item(claim.item);
    lock.lock();
    itemEnded_[static_cast<size_t>(claim.item)] = claim.job + 1;
    bool notify = heldBack_ > 0;
    if (--Slot(claim.job).unfinished == 0) {
        // A job with fewer items may end before the one ahead of it: it leaves with that one.
        while (first_ < end_ && Slot(first_).unfinished == 0) Slot(first_++).item = nullptr;
        notify = true;
    }
    if (notify) changed_.notify_all();
}

void ThreadPool::WorkerLoop() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
        Claim claim;
        if (TryClaim(end_, claim)) {
            RunClaim(lock, claim);
            continue;
        }
        Sleep(lock, end_);
    }
}
