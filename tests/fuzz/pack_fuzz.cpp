// The pack-file reader on any bytes: mount, then list, stat, load and describe every
// name its directory lists, plus names that are not there.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "storage/pack_container.h"

namespace {

constexpr std::size_t kMaxNames = 64;

uint32_t WordAt(const uint8_t* data, std::size_t at) {
    return data[at] | data[at + 1] << 8 | data[at + 2] << 16 | static_cast<uint32_t>(data[at + 3]) << 24;
}

// The names the directory lists, read as loosely as possible, so that lookups reach the
// entries of packs the reader accepts.
std::vector<std::string> ListedNames(const uint8_t* data, std::size_t size) {
    std::vector<std::string> names;
    std::size_t at = 8;
    while (names.size() < kMaxNames && at + 12 <= size) {
        const uint32_t length = WordAt(data, at);
        at += 12;
        if (length > size - at) break;
        names.emplace_back(reinterpret_cast<const char*>(data + at), length);
        at += length + 5;
    }
    return names;
}

void Lookups(const PackContainer& pack, const std::vector<std::string>& names) {
    FileInfoMap map;
    for (const char* pattern : {"*", "*/*", "*.*", "?", "*/*/*"}) {
        (void)pack.List(pattern, map, true, false);
        (void)pack.List(pattern, map, false, true);
    }
    for (const std::string& name : names) {
        LoadAndCheck(pack, name);
        LoadAndCheck(pack, name + "~");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string& path = WriteFuzzFile(data, size, "pck");
    PackContainer pack;
    bool mounted = false;
    RunFuzzInput([&] { mounted = pack.Init("", path); });
    if (!mounted) return 0;
    const std::vector<std::string> names = ListedNames(data, size);
    RunFuzzInput([&] { Lookups(pack, names); });
    // Describing a scrambled entry is fatal by design: one name at a time.
    for (const std::string& name : names) RunFuzzInput([&] { (void)pack.QueryFileDescription(name, nullptr); });
    return 0;
}
