#include "storage/file_system_container.h"

#include <climits>
#include <cstring>
#include <string_view>

#include "core/log.h"
#include "core/string_utils.h"
#include "platform/linux/storage_linux.h"
#include "storage/scramble.h"
#include "storage/storage_path.h"

namespace {

std::string ToTextMode(const char* data, std::size_t length) {
    std::string text;
    text.reserve(length + length / 16);
    for (std::size_t i = 0; i < length; ++i) {
        if (data[i] == '\n') text += '\r';
        text += data[i];
    }
    return text;
}

using SaveStatus = FileSystemContainer::SaveStatus;
using SaveOutcome = FileSystemContainer::SaveOutcome;

SaveOutcome WriteAndFlush(std::FILE* file, std::string_view bytes) {
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
    if (written != bytes.size()) return {SaveStatus::ShortWrite, written, bytes.size()};
    if (!Storage_FlushFile(file)) return {SaveStatus::FlushFailed, written, bytes.size()};
    return {SaveStatus::Saved, written, bytes.size()};
}

// Appends grow the file in place (the log must never lose its earlier lines).
SaveOutcome Append(const std::string& path, std::string_view bytes, bool binary) {
    const FileStream file = Storage_OpenFile(path, binary ? "ab" : "at");
    if (!file) return {SaveStatus::OpenFailed};
    return WriteAndFlush(file.get(), bytes);
}

// An overwrite goes to a new file that takes the old one's place only once it is whole
// on the disk: a save that fails half-way (disk full) leaves the previous content.
SaveOutcome Replace(const std::string& path, std::string_view bytes) {
    std::string temporary;
    FileStream file = Storage_CreateTemporaryFile(path, temporary);
    if (!file) return {SaveStatus::OpenFailed};
    SaveOutcome outcome = WriteAndFlush(file.get(), bytes);
    file.reset();
    if (outcome.status == SaveStatus::Saved && !Storage_ReplaceFile(temporary, path))
        outcome.status = SaveStatus::OpenFailed;
    if (outcome.status != SaveStatus::Saved) Storage_DeleteFile(temporary);
    return outcome;
}

}  // namespace

bool MakeDirectories(const std::string& path) {
    for (std::size_t i = 1; i < path.size(); ++i)
        if ((path[i] == '/' || path[i] == '\\') && path[i - 1] != ':') Storage_CreateDirectory(path.substr(0, i));
    return Storage_CreateDirectory(path);
}

bool StaysInside(const std::string& name) {
    if (IsAbsolutePath(name)) return false;
    bool namesSomething = false;
    for (const std::string& part : SplitString(name, "/\\")) {
        if (part == "..") return false;
        if (part != ".") namesSomething = true;
    }
    return namesSomething;
}

bool FileSystemContainer::Init(const std::string& givenPath, bool create) {
    const std::string path = NormalizePath(givenPath);
    if (create) MakeDirectories(path);
    FileInfo info;
    if (!Storage_Stat(path, info)) {
        LogPrintf("Storage: Can't find directory %s, skipping FILE container.", path.c_str());
        return false;
    }
    if (info.size != -1) {
        LogPrintf("Storage: %s is not a directory, skipping FILE container.", path.c_str());
        return false;
    }
    root_ = Storage_ResolvePath(path) + "/";
    LogPrintf("Storage: Adding FILE container %s", root_.c_str());
    return true;
}

bool FileSystemContainer::Stat(const std::string& name, FileInfo& info) const { return Storage_Stat(root_ + name, info); }

int FileSystemContainer::List(const std::string& pattern, FileInfoMap& map, bool files, bool directories) const {
    return Storage_ListDirectory(root_ + pattern, map, files, directories);
}

FileData FileSystemContainer::LoadFile(const std::string& name, int32_t* size) const {
    const std::string full = root_ + name;
    FileInfo info;
    if (!Storage_Stat(full, info) || info.size < 0) return nullptr;
    const FileStream file = Storage_OpenFile(full, "rb");
    if (!file) VELK_ERROR("Storage:File: LoadFile - can't open %s", full.c_str());
    const int64_t fileSize = Storage_FileSize(file.get());
    FileData data = fileSize >= 0 && fileSize <= INT32_MAX ? AllocateFileData(static_cast<std::size_t>(fileSize)) : nullptr;
    if (!data) VELK_ERROR("Storage:File: LoadFile - can't allocate memory for %s", full.c_str());
    int32_t length = static_cast<int32_t>(fileSize);
    const std::size_t received = std::fread(data.get(), 1, static_cast<std::size_t>(length), file.get());
    if (received != static_cast<std::size_t>(length))
        VELK_ERROR("Storage:File: Loading %s - received %d bytes, expected %d", full.c_str(), static_cast<int>(received),
                   length);
    if (FileData plain = Storage_Unscramble(length, data.get(), length)) data = std::move(plain);
    if (size) *size = length;
    return data;
}

bool FileSystemContainer::QueryFileDescription(const std::string& name, FileDescription* description) const {
    const std::string full = root_ + name;
    const std::string resolved = Storage_GetFullPath(full);
    LogPrintf("Query Filesystem: '%s','%s' -> '%s' -> '%s'", root_.c_str(), name.c_str(), full.c_str(), resolved.c_str());
    FileInfo info;
    if (!Storage_Stat(full, info) || info.size < 0) return false;
    if (description) *description = {name, Storage_ResolvePath(resolved), 0, info.size};
    return true;
}

FileStream FileSystemContainer::OpenFile(const std::string& name, bool forWriting) const {
    if (forWriting) {
        if (!StaysInside(name)) return nullptr;
        CreateDirectory(GetDirectory(name));
        return Storage_OpenFile(root_ + name, "wb");
    }
    FileInfo info;
    if (!Storage_Stat(root_ + name, info) || info.size < 0) return nullptr;
    return Storage_OpenFile(root_ + name, "rb");
}

FileSystemContainer::SaveOutcome FileSystemContainer::TrySave(const std::string& name, const char* data,
                                                              std::size_t length, bool overwrite, bool binary,
                                                              bool scramble) const {
    if (!StaysInside(name) || length > INT32_MAX - kScrambleHeaderSize) return {SaveStatus::Refused};
    CreateDirectory(GetDirectory(name));
    FileData scrambled;
    if (scramble) {
        int32_t scrambledLength = 0;
        scrambled = Storage_Scramble(static_cast<int32_t>(length), data, scrambledLength);
        data = scrambled.get();
        length = static_cast<std::size_t>(scrambledLength);
    }
    const std::string text = binary ? std::string() : ToTextMode(data, length);
    const std::string_view bytes = binary ? std::string_view(data, length) : std::string_view(text);
    return overwrite ? Replace(root_ + name, bytes) : Append(root_ + name, bytes, binary);
}

bool FileSystemContainer::Save(const std::string& name, const char* data, std::size_t length, bool overwrite,
                               bool binary, bool scramble) const {
    const SaveOutcome outcome = TrySave(name, data, length, overwrite, binary, scramble);
    const std::string full = root_ + name;
    switch (outcome.status) {
    case SaveStatus::Saved:
        return true;
    case SaveStatus::Refused:
        LogPrintf("Storage:File: Save - refused name %s", name.c_str());
        return false;
    case SaveStatus::OpenFailed:
        VELK_ERROR("Storage:File: Save - can't open %s", full.c_str());
    case SaveStatus::ShortWrite:
        VELK_ERROR("Storage:File: Saving %s - %d bytes written, expected %d", full.c_str(),
                   static_cast<int>(outcome.written), static_cast<int>(outcome.expected));
    case SaveStatus::FlushFailed:
        VELK_ERROR("Storage:File: Saving %s - can't flush to disk", full.c_str());
    }
    return false;
}

bool FileSystemContainer::CreateDirectory(const std::string& path) const {
    if (path.empty() || !StaysInside(path)) return false;
    return MakeDirectories(root_ + NormalizePath(path));
}

bool FileSystemContainer::RemoveDirectory(const std::string& path, bool recursive) const {
    if (path.empty() || !StaysInside(path)) return false;
    const std::string full = root_ + NormalizePath(path);
    if (recursive && !Storage_RemoveTree(full)) return false;
    return Storage_RemoveDirectory(full);
}

bool FileSystemContainer::DeleteFile(const std::string& name) const {
    return StaysInside(name) && Storage_DeleteFile(root_ + name);
}

int FileSystemContainer::DeleteFiles(const std::string& pattern) const {
    if (!StaysInside(pattern)) return 0;
    const std::string directory = GetDirectory(NormalizePath(pattern));
    const std::string prefix = directory.empty() ? std::string() : directory + "/";
    FileInfoMap listed;
    List(pattern, listed, true, false);
    int deleted = 0;
    for (const auto& [name, info] : listed)
        if (DeleteFile(prefix + name)) ++deleted;
    return deleted;
}

bool FileSystemContainer::Rename(const std::string& oldName, const std::string& newName) const {
    return StaysInside(oldName) && StaysInside(newName) && Storage_Rename(root_ + oldName, root_ + newName);
}
