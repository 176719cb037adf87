#include "platform/linux/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The longest file name the file systems take.
constexpr std::size_t kFileNameLimit = 255;
constexpr const char* kSuffix = ".lock";

std::string RuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && *runtime ? runtime : "/tmp";
}

bool KeptAsItIs(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_';
}

// One-to-one: '%' and '-' (the parts' separator) are encoded too.
std::string PercentEncoded(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (KeptAsItIs(byte)) {
            out += c;
            continue;
        }
        char escape[4];
        std::snprintf(escape, sizeof escape, "%%%02X", byte);
        out += escape;
    }
    return out;
}

uint64_t Fnv1a(const std::string& text) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    return hash;
}

// A name over the limit keeps a readable start (never cut inside an escape) and then '~'
// and a hash of the whole: encoding never makes a '~', so it meets no plain name. The
// ending (the user's id and the suffix) is always kept whole.
std::string FileName(const std::string& encoded, const std::string& ending) {
    if (encoded.size() + ending.size() <= kFileNameLimit) return encoded + ending;
    char hash[18];
    std::snprintf(hash, sizeof hash, "~%016llx", static_cast<unsigned long long>(Fnv1a(encoded)));
    std::size_t keep = kFileNameLimit - ending.size() - std::strlen(hash);
    if (const std::size_t escape = encoded.rfind('%', keep); escape != std::string::npos && escape + 3 > keep)
        keep = escape;
    return encoded.substr(0, keep) + hash + ending;
}

}  // namespace

// The user's id is in the name: without a runtime folder the lock lies in /tmp, which
// every user shares, and another user's copy must not stop this one.
std::string SingleInstanceLock::LockFilePath(const std::string& windowClass, const std::string& productName) {
    return RuntimeFolder() + "/" +
           FileName(PercentEncoded(windowClass) + "-" + PercentEncoded(productName), "-" + std::to_string(getuid()) + kSuffix);
}

bool SingleInstanceLock::Acquire(const std::string& windowClass, const std::string& productName) {
    Release();
    failure_.clear();
    path_ = LockFilePath(windowClass, productName);
    // O_NOFOLLOW: in a shared folder a link planted by someone else is refused, not followed.
    fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        failure_ = "Single-instance lock " + path_ + " cannot be made (" + std::strerror(errno) + "): not checked";
        return true;
    }
    if (flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
    Release();
    return false;
}

void SingleInstanceLock::Release() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

SingleInstanceLock::~SingleInstanceLock() { Release(); }
