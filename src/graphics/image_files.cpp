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

std::string NormalizeStoredName(const std::string& name) {
    std::string out = name;
    for (char& c : out)
        if (c == '\\') c = '/';
    const std::size_t first = out.find_first_not_of(" \n\t");
    if (first == std::string::npos) return {};
    const std::size_t last = out.find_last_not_of(" \n\t/");
    return last == std::string::npos || last < first ? std::string() : out.substr(first, last - first + 1);
}

namespace {

std::size_t ExtensionDot(const std::string& name) {
    const std::size_t slash = name.find_last_of("/\\"), dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string::npos;
    return dot;
}

}  // namespace

std::string StoredNameExtension(const std::string& name) {
    const std::size_t dot = ExtensionDot(name);
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string WithoutExtension(const std::string& name) { return name.substr(0, ExtensionDot(name)); }
