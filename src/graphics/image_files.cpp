#include "graphics/image_files.h"

#include "storage/storage.h"
#include "storage/storage_path.h"

std::optional<std::vector<uint8_t>> LoadStoredFile(const std::string& name) {
    int32_t size = 0;
    const FileData data = LoadFile(name, &size, false);
    if (!data) return std::nullopt;
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.get());
    return std::vector<uint8_t>(bytes, bytes + size);
}

bool StoredFileExists(const std::string& name) {
    FileInfo info;
    return FileExists(name, &info) && info.size >= 0;
}

WriteResult SaveWritableFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const FileSystemContainer* writable = GetWritableContainer();
    if (!writable) return WriteResult::CannotOpen;
    const std::string folder = GetDirectory(name);
    if (!folder.empty()) writable->CreateDirectory(folder);
    const auto outcome =
        writable->TrySave(name, reinterpret_cast<const char*>(bytes.data()), bytes.size(), true, true, false);
    switch (outcome.status) {
        case FileSystemContainer::SaveStatus::Saved: return WriteResult::Written;
        case FileSystemContainer::SaveStatus::Refused:
        case FileSystemContainer::SaveStatus::OpenFailed: return WriteResult::CannotOpen;
        default: return WriteResult::Incomplete;
    }
}
