#include "storage/storage_container.h"

bool StorageContainer::Stat(const std::string&, FileInfo&) const { return false; }

int StorageContainer::List(const std::string&, FileInfoMap&, bool, bool) const { return 0; }

bool StorageContainer::Exists(const std::string& name) const {
    FileInfo scratch;
    return Stat(name, scratch);
}

FileData StorageContainer::LoadFile(const std::string&, int32_t*) const { return nullptr; }

bool StorageContainer::QueryFileDescription(const std::string&, FileDescription*) const { return false; }
