#pragma once
// A pack file (".pck"): uncompressed entries behind a directory sorted by name.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "storage/storage_container.h"

class PackContainer : public StorageContainer {
public:
    // The directory is checked against the file's size; a bad pack fails.
    bool Init(const std::string& prefix, const std::string& path);
    // The entry's index, or the complement of its insertion point when absent.
    int FindEntry(std::string_view fullName) const;

    bool Stat(const std::string& name, FileInfo& info) const override;
    int List(const std::string& pattern, FileInfoMap& map, bool files, bool directories) const override;
    // Entries flagged as scrambled come back unscrambled.
    FileData LoadFile(const std::string& name, int32_t* size) const override;
    bool QueryFileDescription(const std::string& name, FileDescription* description) const override;

    struct Entry {
        uint32_t storedSize = 0;
        uint32_t offset = 0;
        bool scrambled = false;
        uint32_t reportedSize = 0;
        std::string name;
    };

private:
    bool ReadDirectory(std::string& problem);

    FileStream file_;
    std::vector<Entry> entries_;
    std::string prefix_;
    std::string path_;
};
