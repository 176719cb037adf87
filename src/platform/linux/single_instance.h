#pragma once
// One running copy per game and user: an advisory lock on a file named after the window
// class, the product name and the user's id, in the user's runtime folder (else /tmp).
//   SingleInstanceLock::Acquire       false when another copy holds the lock
//   SingleInstanceLock::Path          the lock file the last Acquire tried
//   SingleInstanceLock::Failure       why the lock file could not be made, if it could not
//   SingleInstanceLock::LockFilePath  where this user's lock of a class and product name lives
#include <string>

class SingleInstanceLock {
public:
    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // False when another process holds the lock. A lock file that cannot be made at all
    // does not stop the game; Failure then says why.
    bool Acquire(const std::string& windowClass, const std::string& productName);
    void Release();
    const std::string& Path() const { return path_; }
    // Empty unless the last Acquire could not make its lock file.
    const std::string& Failure() const { return failure_; }

    // Different names never share a file: bytes other than ASCII letters, digits, '.'
    // and '_' are percent-encoded, and a name too long for a file ends in a hash of it.
    // "Velk Engine", "My Game", user 1000: "Velk%20Engine-My%20Game-1000.lock".
    static std::string LockFilePath(const std::string& windowClass, const std::string& productName);

private:
    int fd_ = -1;
    std::string path_;
    std::string failure_;
};
