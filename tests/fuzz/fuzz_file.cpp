#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "fuzz_support.h"

namespace {

// One folder per process, removed at exit.
struct FuzzFolder {
    std::string path;
    FuzzFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velk-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~FuzzFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

const std::string& WriteFuzzFile(const uint8_t* data, std::size_t size, const char* extension) {
    static const FuzzFolder folder;
    static const std::string path = folder.path + "/input." + extension;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();
    return path;
}
