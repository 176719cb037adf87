#include "platform/linux/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>

namespace {

std::string RuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && *runtime ? runtime : "/tmp";
}

std::string FileNamePart(const std::string& text) {
    std::string name = text;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') c = '_';
    return name;
}

}  // namespace

std::string SingleInstanceLock::LockFilePath(const std::string& windowClass, const std::string& productName) {
    return RuntimeFolder() + "/" + FileNamePart(windowClass) + "-" + FileNamePart(productName) + ".lock";
}

bool SingleInstanceLock::Acquire(const std::string& windowClass, const std::string& productName) {
    Release();
    const std::string path = LockFilePath(windowClass, productName);
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return true;
    if (flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
    Release();
    return false;
}

void SingleInstanceLock::Release() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

SingleInstanceLock::~SingleInstanceLock() { Release(); }
