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
