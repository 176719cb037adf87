#include "storage/storage.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "core/log.h"
#include "platform/linux/storage_linux.h"
#include "storage/file_system_container.h"
#include "storage/pack_container.h"
#include "storage/storage_path.h"
#include "storage/zip_container.h"

namespace {

constexpr const char* kLogFileName = "log.txt";

// Mounts take the lock exclusively; lookups share it. The log reaches the writable
// container without the lock (it may log while a lookup holds it), so that pointer is
// atomic and containers live until shutdown.
struct StorageState {
    std::shared_mutex mutex;
    std::vector<std::unique_ptr<StorageContainer>> containers;
    std::atomic<const FileSystemContainer*> writable{nullptr};
    std::unique_ptr<FileSystemContainer> startDirectoryContainer;
    std::string startDirectory;
    std::string userDataFolder;
};

StorageState& State() {
    static StorageState state;
    return state;
}

std::string WritableLogPath() { return GetWritableContainer() ? GetWritablePath(kLogFileName) : std::string(); }

std::string AbsolutePath(const std::string& path) { return IsAbsolutePath(path) ? path : Storage_GetFullPath(path); }

void Insert(std::unique_ptr<StorageContainer> container, bool atFront) {
    StorageState& state = State();
    const std::unique_lock lock(state.mutex);
    state.containers.insert(atFront ? state.containers.begin() : state.containers.end(), std::move(container));
}

}  // namespace

void InitStorage() {
    StorageState& state = State();
    state.startDirectory = Storage_GetFullPath("");
    state.userDataFolder = GetDefaultWriteFolder();
    state.writable = nullptr;
    auto start = std::make_unique<FileSystemContainer>();
    state.startDirectoryContainer = start->Init(state.startDirectory, false) ? std::move(start) : nullptr;
}

void ShutdownStorage() {
    StorageState& state = State();
    const std::unique_lock lock(state.mutex);
    state.writable = nullptr;
    state.containers.clear();
    state.startDirectoryContainer.reset();
}

bool AddDirectoryStorage(const std::string& path, bool writableAndCreate, bool atFront) {
    LogPrintf("Adding directory storage with path:%s", path.c_str());
    auto container = std::make_unique<FileSystemContainer>();
    if (!container->Init(AbsolutePath(path), writableAndCreate)) return false;
    const FileSystemContainer* added = container.get();
    Insert(std::move(container), atFront);
    if (!writableAndCreate) return true;
    State().writable = added;
    // The log lives in the writable container from now on.
    SetLogFileHooks({AppendToLogFile, RemoveLogFile, WritableLogPath});
    return true;
}

bool AddPackStorage(const std::string& path, const std::string& prefix, bool atFront) {
    LogPrintf("Adding pack storage with path:%s with prefix:%s", path.c_str(), prefix.c_str());
    auto container = std::make_unique<PackContainer>();
    if (!container->Init(prefix, AbsolutePath(path))) return false;
    Insert(std::move(container), atFront);
    return true;
}

bool AddZipStorage(const std::string& path, const std::string& prefix) {
    LogPrintf("Adding zip storage with path:%s with prefix:%s", path.c_str(), prefix.c_str());
    auto container = std::make_unique<ZipContainer>();
    if (!container->Init(AbsolutePath(path), kArchivePassword, prefix)) return false;
    Insert(std::move(container), false);
    return true;
}

std::string GetDefaultWriteFolder() {
    const std::string folder = NormalizePath(Storage_UserDataBase());
    if (folder.empty() || folder[0] != '/') VELK_ERROR("Storage: can't find the default place to write data");
    MakeDirectories(folder);
    if (!Storage_IsDirectory(folder)) VELK_ERROR("Storage: can't find the default place to write data");
    return folder;
}

bool AddWritableStorage(const std::string& name) {
    StorageState& state = State();
    state.userDataFolder = GetDefaultWriteFolder();
    return AddDirectoryStorage(state.userDataFolder + "/" + name, true, false);
}

bool FileExists(const std::string& name, FileInfo* info) {
    StorageState& state = State();
    const std::shared_lock lock(state.mutex);
    FileInfo scratch;
    for (const auto& container : state.containers) {
        if (container->Stat(name, scratch)) {
            if (info) *info = scratch;
            return true;
        }
    }
    return false;
}

int SearchFiles(const std::string& pattern, FileInfoMap& map, bool files, bool directories) {
    StorageState& state = State();
    const std::shared_lock lock(state.mutex);
    int count = 0;
    for (const auto& container : state.containers) count += container->List(pattern, map, files, directories);
    return count;
}

FileData LoadFile(const std::string& name, int32_t* size, bool required) {
    StorageState& state = State();
    {
        const std::shared_lock lock(state.mutex);
        for (const auto& container : state.containers)
            if (FileData data = container->LoadFile(name, size)) return data;
    }
    if (required) VELK_ERROR("Storage: LoadFile - file not found: %s", name.c_str());
    return nullptr;
}

FileStream OpenFileDirectly(const std::string& name) {
    StorageState& state = State();
    {
        const std::shared_lock lock(state.mutex);
        for (const auto& container : state.containers) {
            if (!container->IsFileSystem()) continue;
            if (FileStream file = static_cast<const FileSystemContainer&>(*container).OpenFile(name, false)) return file;
        }
    }
    VELK_ERROR("Storage: OpenFileDirectly - file not found: %s", name.c_str());
}

bool FileExistsDirectly(const std::string& name) {
    StorageState& state = State();
    const std::shared_lock lock(state.mutex);
    FileInfo info;
    for (const auto& container : state.containers)
        if (container->IsFileSystem() && container->Stat(name, info) && info.size >= 0) return true;
    return false;
}

std::string GetWritablePath(const std::string& name) {
    const FileSystemContainer* writable = State().writable;
    return writable ? writable->Root() + name : name;
}

const FileSystemContainer* GetWritableContainer() { return State().writable; }

const FileSystemContainer* GetStartDirectoryContainer() { return State().startDirectoryContainer.get(); }

const std::string& GetStartDirectory() { return State().startDirectory; }

const std::string& GetUserDataFolder() { return State().userDataFolder; }

bool AppendToLogFile(const char* text, std::size_t size) {
    const FileSystemContainer* writable = State().writable;
    if (!writable) return false;
    return writable->TrySave(kLogFileName, text, size, false, false, false).status ==
           FileSystemContainer::SaveStatus::Saved;
}

void RemoveLogFile() {
    if (const FileSystemContainer* writable = State().writable) writable->DeleteFile(kLogFileName);
}
