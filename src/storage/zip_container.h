#pragma once
// A zip archive as a storage container. Its directory is indexed once at mount (archive
// order plus a hash by name); the archive itself is opened again for every load.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "storage/storage_container.h"

class ZipContainer : public StorageContainer {
public:
    bool Init(const std::string& path, const std::string& password, const std::string& prefix);

    // Files only. A name with wildcards matches the first file in archive order.
    bool Stat(const std::string& name, FileInfo& info) const override;
    int List(const std::string& pattern, FileInfoMap& map, bool files, bool directories) const override;
    // Zip entries are never unscrambled.
    FileData LoadFile(const std::string& name, int32_t* size) const override;

private:
    struct Entry {
        std::string name;
        uint64_t size = 0;
        uint64_t directoryPosition = 0;
        uint64_t fileNumber = 0;
    };
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>()(name); }
    };

    bool ReadDirectory();
    const Entry* Find(const std::string& pattern) const;

    std::string path_;
    std::string password_;
    std::string prefix_;
    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>> index_;
};
