#pragma once
// The interface every storage container (directory, zip archive, pack file) offers.
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <new>
#include <string>

#include "platform/linux/storage_linux.h"

// Where a stored file lies, for reading it in place.
struct FileDescription {
    std::string name;
    std::string path;
    int32_t offset = 0;
    int32_t size = 0;
};

// Loaded file data. One zero byte follows the data (not counted in the size), so text
// parsers can never run past the end.
using FileData = std::unique_ptr<char[]>;

// A buffer of size + 1 bytes, the last one zero, or null when memory runs out.
inline FileData AllocateFileData(std::size_t size) {
    FileData data(new (std::nothrow) char[size + 1]);
    if (data) data[size] = '\0';
    return data;
}

class StorageContainer {
public:
    virtual ~StorageContainer() = default;
    virtual bool Stat(const std::string& name, FileInfo& info) const;
    // Adds the matching names not yet in the map; returns how many it added.
    virtual int List(const std::string& pattern, FileInfoMap& map, bool files, bool directories) const;
    bool Exists(const std::string& name) const;
    // The file's bytes, or null when the container does not hold the name.
    virtual FileData LoadFile(const std::string& name, int32_t* size) const;
    virtual bool IsFileSystem() const { return false; }
    virtual bool QueryFileDescription(const std::string& name, FileDescription* description) const;
};
