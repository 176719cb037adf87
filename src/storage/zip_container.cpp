#include "storage/zip_container.h"

#include <climits>

#include "core/log.h"
#include "platform/linux/storage_linux.h"
#include "storage/storage_path.h"
#include "storage/zip_entry_reader.h"

namespace {

bool IsDirectoryEntry(const std::string& name) { return !name.empty() && name.back() == '/'; }

UnzipHandle OpenArchive(const std::string& path) { return UnzipHandle(unzOpen64(path.c_str())); }

// The current entry's name at its full length, however long.
bool CurrentEntryName(unzFile archive, unz_file_info64& info, std::string& name) {
    if (unzGetCurrentFileInfo64(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
    std::vector<char> buffer(info.size_filename + 1, '\0');
    if (unzGetCurrentFileInfo64(archive, &info, buffer.data(), buffer.size(), nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    name.assign(buffer.data(), info.size_filename);
    return true;
}

}  // namespace

bool ZipContainer::Init(const std::string& path, const std::string& password, const std::string& prefix) {
    path_ = Storage_ResolvePath(path);
    password_ = password;
    prefix_ = prefix;
    if (!ReadDirectory()) {
        LogPrintf("Storage: %s not found, skipping ZIP container.", path.c_str());
        return false;
    }
    LogPrintf("Storage: Adding ZIP container %s [prefix = %s]", path.c_str(), prefix.c_str());
    return true;
}

bool ZipContainer::ReadDirectory() {
    const UnzipHandle archive = OpenArchive(path_);
    if (!archive) return false;
    for (int status = unzGoToFirstFile(archive.get()); status != UNZ_END_OF_LIST_OF_FILE;
         status = unzGoToNextFile(archive.get())) {
        if (status != UNZ_OK) return false;
        Entry entry;
        unz_file_info64 info{};
        unz64_file_pos position{};
        if (!CurrentEntryName(archive.get(), info, entry.name) || unzGetFilePos64(archive.get(), &position) != UNZ_OK)
            return false;
        entry.size = info.uncompressed_size;
        entry.directoryPosition = position.pos_in_zip_directory;
        entry.fileNumber = position.num_of_file;
        if (!IsDirectoryEntry(entry.name)) index_.try_emplace(entry.name, entries_.size());
        entries_.push_back(std::move(entry));
    }
    return true;
}

const ZipContainer::Entry* ZipContainer::Find(const std::string& pattern) const {
    if (!HasWildcards(pattern)) {
        const auto found = index_.find(std::string_view(pattern));
        return found == index_.end() ? nullptr : &entries_[found->second];
    }
    for (const Entry& entry : entries_)
        if (!IsDirectoryEntry(entry.name) && WildcardMatch(pattern, entry.name)) return &entry;
    return nullptr;
}

bool ZipContainer::Stat(const std::string& name, FileInfo& info) const {
    const Entry* entry = Find(prefix_ + name);
    if (!entry) return false;
    info.size = static_cast<int32_t>(std::min<uint64_t>(entry->size, INT32_MAX));
    return true;
}

int ZipContainer::List(const std::string& pattern, FileInfoMap& map, bool files, bool directories) const {
    // "dir/*" matches the entry "dir/" itself, which is not inside it.
    const std::string searched = pattern.substr(0, pattern.find_last_of('/') + 1);
    int added = 0;
    for (const Entry& entry : entries_) {
        if (!WildcardMatch(pattern, entry.name) || entry.name == searched) continue;
        const bool isDirectory = IsDirectoryEntry(entry.name);
        if (isDirectory ? !directories : !files) continue;
        const std::string name = isDirectory ? entry.name.substr(0, entry.name.size() - 1) : entry.name;
        const std::string key = GetFileName(name);
        if (key.empty() || map.count(key)) continue;
        map.emplace(key, FileInfo{isDirectory ? -1 : static_cast<int32_t>(std::min<uint64_t>(entry.size, INT32_MAX))});
        ++added;
    }
    return added;
}

FileData ZipContainer::LoadFile(const std::string& name, int32_t* size) const {
    const std::string fullName = prefix_ + name;
    const Entry* entry = Find(fullName);
    if (!entry) return nullptr;
    const UnzipHandle archive = OpenArchive(path_);
    if (!archive) return nullptr;
    // The index was made at mount: the entry found there must still be the one indexed.
    unz64_file_pos position{entry->directoryPosition, entry->fileNumber};
    unz_file_info64 info{};
    std::string nameThere;
    if (unzGoToFilePos64(archive.get(), &position) != UNZ_OK || !CurrentEntryName(archive.get(), info, nameThere) ||
        nameThere != entry->name)
        VELK_ERROR("Storage:Zip: Can't open file %s", fullName.c_str());
    ZipReadResult result = ReadCurrentZipEntry(archive.get(), password_);
    switch (result.status) {
    case ZipReadStatus::Read:
        break;
    case ZipReadStatus::CannotOpen:
        VELK_ERROR("Storage:Zip: Can't open file %s", fullName.c_str());
    case ZipReadStatus::NoMemory:
        VELK_ERROR("Storage:Zip: Can't allocate memory for %s", fullName.c_str());
    case ZipReadStatus::CannotRead:
        VELK_ERROR("Storage:Zip: Can't read from file %s", fullName.c_str());
    }
    if (size) *size = result.size;
    return std::move(result.data);
}
