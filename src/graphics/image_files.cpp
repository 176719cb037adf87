#include "graphics/image_files.h"

#include <filesystem>
#include <fstream>
#include <iterator>

// Until the storage front end is merged, names are read from the working directory.
std::optional<std::vector<uint8_t>> LoadStoredFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool StoredFileExists(const std::string& name) {
    std::error_code error;
    return std::filesystem::is_regular_file(name, error);
}

WriteResult SaveWritableFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::error_code error;
    const std::filesystem::path path(name);
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), error);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return WriteResult::CannotOpen;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    return out ? WriteResult::Written : WriteResult::Incomplete;
}
