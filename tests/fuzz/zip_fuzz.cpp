// The zip reader on any bytes: mount the archive, then list, stat and load every name its
// directory holds (encrypted entries with the archive password).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "storage/storage.h"
#include "storage/zip_container.h"
#include "storage/zip_entry_reader.h"

namespace {

constexpr std::size_t kMaxNames = 64;

std::vector<std::string> ArchiveNames(const std::string& path) {
    std::vector<std::string> names;
    const UnzipHandle archive(unzOpen64(path.c_str()));
    if (!archive) return names;
    for (int status = unzGoToFirstFile(archive.get()); status == UNZ_OK && names.size() < kMaxNames;
         status = unzGoToNextFile(archive.get())) {
        char name[1024] = {};
        if (unzGetCurrentFileInfo64(archive.get(), nullptr, name, sizeof name - 1, nullptr, 0, nullptr, 0) != UNZ_OK)
            break;
        names.emplace_back(name);
    }
    return names;
}

void Lookups(const ZipContainer& zip) {
    FileInfoMap map;
    for (const char* pattern : {"*", "*/*", "*.*", "?*", "*/*/*"}) (void)zip.List(pattern, map, true, true);
    FileInfo info;
    (void)zip.Stat("*", info);
    (void)zip.Stat("*/*", info);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string& path = WriteFuzzFile(data, size, "pak");
    ZipContainer zip;
    bool mounted = false;
    RunFuzzInput([&] { mounted = zip.Init(path, kArchivePassword, ""); });
    if (!mounted) return 0;
    RunFuzzInput([&] { Lookups(zip); });
    // A damaged entry is a fatal error by design: one load at a time.
    for (const std::string& name : ArchiveNames(path)) RunFuzzInput([&] { LoadAndCheck(zip, name); });
    return 0;
}
