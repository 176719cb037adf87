#include "platform/linux/process_spawn.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <thread>

extern char** environ;

bool SpawnDetached(const char* program, char* const argv[]) {
    if (access(program, X_OK) != 0) return false;
    pid_t pid = 0;
    return posix_spawn(&pid, program, nullptr, nullptr, argv, environ) == 0;
}

bool SpawnFromPath(const char* program, char* const argv[]) {
    pid_t pid = 0;
    if (posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0) return false;
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    return true;
}

std::string ExecutableDirectory() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    const std::string full(path, static_cast<std::size_t>(length));
    const std::size_t slash = full.rfind('/');
    return slash == std::string::npos ? std::string() : full.substr(0, slash);
}
