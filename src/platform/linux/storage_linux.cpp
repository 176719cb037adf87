#include "platform/linux/storage_linux.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>


namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// Names compare case-blind in the "C" locale, as the storage's lookups do.
std::string Lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Slashed(const std::string& path) {
    std::string result = path;
    for (char& c : result)
        if (c == '\\') c = '/';
    return result;
}

bool PathExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool IsDotEntry(const char* name) { return name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2])); }

std::vector<std::string> ReadEntryNames(DIR* dir) {
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir))
        if (!IsDotEntry(entry->d_name)) names.emplace_back(entry->d_name);
    return names;
}

// Directory listings by lower-cased name, kept until the directory changes on disk.
class CaseCache {
public:
    std::optional<std::string> Find(const std::string& directory, const std::string& name) {
        struct stat st;
        if (::stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
        const std::lock_guard lock(mutex_);
        Listing& listing = listings_[directory];
        if (!listing.Settled(st.st_mtim)) Fill(directory, listing, st.st_mtim);
        const auto found = listing.byLowerName.find(Lowered(name));
        if (found == listing.byLowerName.end()) return std::nullopt;
        return found->second;
    }

private:
    // Timestamps move in coarse steps: a listing read soon after the directory changed
    // could miss a change made within the same step, so it is trusted only once the
    // change is well behind it.
    static constexpr int64_t kSettleNanoseconds = 1'000'000'000;

    static int64_t Nanoseconds(const timespec& time) { return time.tv_sec * 1'000'000'000LL + time.tv_nsec; }

    struct Listing {
        int64_t changed = -1;
        int64_t readAt = -1;
        std::unordered_map<std::string, std::string> byLowerName;

        bool Settled(const timespec& mtime) const {
            return changed == Nanoseconds(mtime) && readAt - changed > kSettleNanoseconds;
        }
    };

    static void Fill(const std::string& directory, Listing& listing, const timespec& mtime) {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        listing.changed = Nanoseconds(mtime);
        listing.readAt = Nanoseconds(now);
        listing.byLowerName.clear();
        const DirHandle dir(opendir(directory.c_str()));
        if (!dir) return;
        for (std::string& name : ReadEntryNames(dir.get())) {
            // Several names may differ only in case: the smallest wins, whatever the disk order.
            auto [slot, added] = listing.byLowerName.try_emplace(Lowered(name), name);
            if (!added && name < slot->second) slot->second = std::move(name);
        }
    }

    std::mutex mutex_;
    std::unordered_map<std::string, Listing> listings_;
};

CaseCache& Cache() {
    static CaseCache cache;
    return cache;
}

std::string ResolveSlashed(const std::string& path) {
    if (path.empty() || PathExists(path)) return path;
    const std::size_t slash = path.find_last_of('/');
    std::string prefix;
    if (slash != std::string::npos) prefix = slash == 0 ? "/" : ResolveSlashed(path.substr(0, slash)) + "/";
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.empty() || name == "." || name == "..") return prefix + name;
    const std::optional<std::string> actual = Cache().Find(prefix.empty() ? "." : prefix, name);
    return prefix + (actual ? *actual : name);
}

std::optional<FileInfo> StatResolved(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    FileInfo info;
    info.size = S_ISDIR(st.st_mode) ? -1 : static_cast<int32_t>(std::min<off_t>(st.st_size, INT32_MAX));
    return info;
}

// '*' and '?' over whole names, backtracking to the latest '*' only (linear enough for any pattern).
bool MatchFrom(const char* pattern, const char* name) {
    const char* star = nullptr;
    const char* mark = nullptr;
    while (*name) {
        if (*pattern == '*') {
            star = ++pattern;
            mark = name;
        } else if (*pattern && (*pattern == '?' || *pattern == *name)) {
            ++pattern;
            ++name;
        } else if (star) {
            pattern = star;
            name = ++mark;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return !*pattern;
}

bool RemoveTreeAt(int parentFd, const char* name);

bool RemoveEntries(int fd) {
    const DirHandle dir(fdopendir(fd));
    if (!dir) {
        close(fd);
        return false;
    }
    const int dirFd = dirfd(dir.get());
    bool result = true;
    for (const std::string& name : ReadEntryNames(dir.get())) {
        struct stat st;
        if (fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            result = false;
        } else if (S_ISDIR(st.st_mode)) {
            result = RemoveTreeAt(dirFd, name.c_str()) && unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) == 0 && result;
        } else if (unlinkat(dirFd, name.c_str(), 0) != 0) {
            result = false;
        }
    }
    return result;
}

bool RemoveTreeAt(int parentFd, const char* name) {
    const int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return fd >= 0 && RemoveEntries(fd);
}

constexpr std::size_t kTemporaryBaseLength = 200;

// The part up to and including the last '/'; empty without one.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A new file named base + a suffix no other file has; its descriptor, or -1.
int CreateUniqueFile(const std::string& base, std::string& createdPath) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        createdPath = base + "." + std::to_string(getpid()) + "." + std::to_string(counter++) + ".tmp";
        const int fd = open(createdPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// A number as std::to_string writes it: digits only, no leading zero.
bool IsDecimal(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos &&
           (text.size() == 1 || text[0] != '0');
}

// The writer's pid when name is prefix + pid + "." + counter + ".tmp", as CreateUniqueFile makes them.
std::optional<pid_t> TemporaryWriter(std::string_view name, std::string_view prefix) {
    constexpr std::string_view kSuffix = ".tmp";
    if (!name.starts_with(prefix) || !name.ends_with(kSuffix)) return std::nullopt;
    const std::string_view numbers = name.substr(prefix.size(), name.size() - prefix.size() - kSuffix.size());
    const std::size_t dot = numbers.find('.');
    if (dot == std::string_view::npos || !IsDecimal(numbers.substr(0, dot)) || !IsDecimal(numbers.substr(dot + 1)))
        return std::nullopt;
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(numbers.data(), numbers.data() + dot, pid);
    if (error != std::errc() || end != numbers.data() + dot || pid <= 0) return std::nullopt;
    return pid;
}

// Gone means no such process at all: one of another user (EPERM) may still be writing.
bool WriterIsGone(pid_t pid) { return pid != getpid() && kill(pid, 0) != 0 && errno == ESRCH; }

// Temporary files of base left by writers killed before their rename; regular files only.
void RemoveStaleTemporaries(const std::string& base) {
    const std::string folder = FolderOf(base);
    const std::string prefix = base.substr(folder.size()) + ".";
    const DirHandle dir(opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir) return;
    const int dirFd = dirfd(dir.get());
    for (const std::string& name : ReadEntryNames(dir.get())) {
        const std::optional<pid_t> writer = TemporaryWriter(name, prefix);
        struct stat st;
        if (writer && WriterIsGone(*writer) && fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode))
            unlinkat(dirFd, name.c_str(), 0);
    }
}

// True once per target and run: the folder is searched at a file's first save, not every frame.
bool FirstSaveOf(const std::string& target) {
    static std::mutex mutex;
    static std::unordered_set<std::string> saved;
    const std::lock_guard lock(mutex);
    if (saved.contains(target)) return false;
    saved.insert(target);
    return true;
}

// Special files (pipes, terminals) cannot be synchronised and need not be.
bool SyncDescriptor(int fd) { return fsync(fd) == 0 || errno == EINVAL || errno == EROFS; }

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    const passwd* user = getpwuid(getuid());
    return user && user->pw_dir ? user->pw_dir : "";
}

}  // namespace

std::string Storage_UserDataBase() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    return xdg && xdg[0] == '/' ? xdg : HomeFolder() + "/.local/share";
}

bool Storage_IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Storage_GetFullPath(const std::string& path) {
    std::string text = Slashed(path);
    if (text.empty() || text[0] != '/') {
        char cwd[PATH_MAX];
        text = std::string(getcwd(cwd, sizeof cwd) ? cwd : "") + "/" + text;
    }
    std::vector<std::string> parts;
    for (std::size_t start = text.find_first_not_of('/'); start != std::string::npos;) {
        const std::size_t end = text.find('/', start);
        const std::string part = text.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (part != ".") {
            parts.push_back(part);
        }
        start = text.find_first_not_of('/', end);
    }
    std::string result;
    for (const std::string& part : parts) result += "/" + part;
    // Blanks and separators at the end are no part of a name.
    result.erase(std::min(result.find_last_not_of(" \n\t/") + 1, result.size()));
    return result.empty() ? "/" : result;
}

std::string Storage_ResolvePath(const std::string& path) { return ResolveSlashed(Slashed(path)); }

bool Storage_Stat(const std::string& path, FileInfo& info) {
    const std::string slashed = Slashed(path);
    const std::string name = slashed.substr(slashed.find_last_of('/') + 1);
    if (name.empty()) return false;  // a search for "dir/" finds nothing, as on Windows
    if (name.find_first_of("*?") != std::string::npos) {
        FileInfoMap found;
        if (Storage_ListDirectory(path, found, true, true) == 0) return false;
        info = found.begin()->second;
        return true;
    }
    const std::optional<FileInfo> found = StatResolved(Storage_ResolvePath(path));
    if (found) info = *found;
    return found.has_value();
}

int Storage_ListDirectory(const std::string& patternPath, FileInfoMap& map, bool files, bool directories) {
    const std::string slashed = Slashed(patternPath);
    const std::size_t slash = slashed.find_last_of('/');
    const std::string directory = slash == std::string::npos ? "." : Storage_ResolvePath(slashed.substr(0, slash + 1));
    const std::string pattern = slash == std::string::npos ? slashed : slashed.substr(slash + 1);
    const DirHandle dir(opendir(directory.c_str()));
    if (!dir) return 0;
    int added = 0;
    for (std::string& name : ReadEntryNames(dir.get())) {
        if (map.count(name) || !Storage_WildcardMatchName(pattern, name)) continue;
        struct stat st;
        if (fstatat(dirfd(dir.get()), name.c_str(), &st, 0) != 0) continue;
        const bool isDirectory = S_ISDIR(st.st_mode);
        if (isDirectory ? !directories : !files) continue;
        FileInfo info;
        info.size = isDirectory ? -1 : static_cast<int32_t>(std::min<off_t>(st.st_size, INT32_MAX));
        map.emplace(std::move(name), info);
        ++added;
    }
    return added;
}

FileStream Storage_OpenFile(const std::string& path, const char* mode) {
    std::string systemMode;
    for (const char* m = mode; *m; ++m)
        if (*m != 't') systemMode += *m;
    systemMode += 'e';
    return FileStream(std::fopen(Storage_ResolvePath(path).c_str(), systemMode.c_str()));
}

bool Storage_DeleteFile(const std::string& path) { return unlink(Storage_ResolvePath(path).c_str()) == 0; }

bool Storage_CreateDirectory(const std::string& path) { return mkdir(Storage_ResolvePath(path).c_str(), 0777) == 0; }

bool Storage_RemoveDirectory(const std::string& path) { return rmdir(Storage_ResolvePath(path).c_str()) == 0; }

bool Storage_RemoveTree(const std::string& path) { return RemoveTreeAt(AT_FDCWD, Storage_ResolvePath(path).c_str()); }

bool Storage_Rename(const std::string& oldPath, const std::string& newPath) {
    const std::string from = Storage_ResolvePath(oldPath);
    const std::string to = Storage_ResolvePath(newPath);
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the no-replace flag: check first (not atomic, but never replaces knowingly).
    struct stat st;
    return lstat(to.c_str(), &st) != 0 && errno == ENOENT && std::rename(from.c_str(), to.c_str()) == 0;
}

bool Storage_FlushFile(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
    return SyncDescriptor(fileno(file));
}

FileStream Storage_CreateTemporaryFile(const std::string& path, std::string& temporaryPath) {
    const std::string target = Storage_ResolvePath(path);
    const std::string folder = FolderOf(target);
    // Cut so the temporary name stays within the folder's name limit whatever the name's length.
    const std::string base = folder + "." + target.substr(folder.size(), kTemporaryBaseLength);
    struct stat old;
    const bool replacing = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    // A file that could not be opened for writing is not replaced either.
    if (replacing && access(target.c_str(), W_OK) != 0) return nullptr;
    if (FirstSaveOf(target)) RemoveStaleTemporaries(base);
    const int fd = CreateUniqueFile(base, temporaryPath);
    if (fd >= 0 && replacing) fchmod(fd, old.st_mode & 07777);
    if (std::FILE* file = fd >= 0 ? fdopen(fd, "wb") : nullptr) return FileStream(file);
    if (fd >= 0) {
        close(fd);
        unlink(temporaryPath.c_str());
    }
    temporaryPath.clear();
    return nullptr;
}

bool Storage_ReplaceFile(const std::string& temporaryPath, const std::string& path) {
    const std::string target = Storage_ResolvePath(path);
    if (std::rename(temporaryPath.c_str(), target.c_str()) != 0) return false;
    const std::string folder = FolderOf(target);
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = SyncDescriptor(fd);
    close(fd);
    return synced;
}

std::size_t Storage_ReadAt(std::FILE* file, void* buffer, std::size_t size, uint64_t offset) {
    std::size_t total = 0;
    char* out = static_cast<char*>(buffer);
    while (total < size) {
        const ssize_t got = pread(fileno(file), out + total, size - total, static_cast<off_t>(offset + total));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        total += static_cast<std::size_t>(got);
    }
    return total;
}

int64_t Storage_FileSize(std::FILE* file) {
    struct stat st;
    return fstat(fileno(file), &st) == 0 ? st.st_size : -1;
}

bool Storage_WildcardMatchName(const std::string& pattern, const std::string& name) {
    const std::string lowerPattern = Lowered(pattern);
    const std::string lowerName = Lowered(name);
    if (MatchFrom(lowerPattern.c_str(), lowerName.c_str())) return true;
    const bool anyExtension = lowerPattern.size() >= 2 && lowerPattern.ends_with(".*");
    return anyExtension && MatchFrom(lowerPattern.substr(0, lowerPattern.size() - 2).c_str(), lowerName.c_str());
}
