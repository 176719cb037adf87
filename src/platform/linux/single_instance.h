#pragma once
// One running copy per game: an advisory lock on a file named after the window class
// and the product name, in the user's runtime folder.
#include <string>

class SingleInstanceLock {
public:
    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // False when another process holds the lock. A lock file that cannot be made at all
    // does not stop the game.
    bool Acquire(const std::string& windowClass, const std::string& productName);
    void Release();

    static std::string LockFilePath(const std::string& windowClass, const std::string& productName);

private:
    int fd_ = -1;
};
