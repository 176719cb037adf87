// Lookups per second in a zip archive and a pack file of 20,000 entries each, hits and
// misses, and misses through a directory container for comparison.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "fixtures/pack_writer.h"
#include "fixtures/temp_dir.h"
#include "fixtures/zip_writer.h"
#include "storage/file_system_container.h"
#include "storage/pack_container.h"
#include "storage/storage.h"
#include "storage/zip_container.h"

namespace {

constexpr int kEntries = 20000;
constexpr int kLookups = 200000;

std::string EntryName(int i) { return "data/level" + std::to_string(i % 50) + "/object_" + std::to_string(i) + ".png"; }

void Report(const char* what, int count, const std::function<bool(int)>& lookup) {
    int found = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) found += lookup(i) ? 1 : 0;
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::printf("%-34s %12.0f lookups/s  %8.3f us each  (%d of %d found)\n", what, count / seconds.count(),
                seconds.count() * 1e6 / count, found, count);
}

void ReportHitsAndMisses(const char* kind, const StorageContainer& container, int lookups) {
    std::vector<std::string> hits;
    std::vector<std::string> misses;
    for (int i = 0; i < 1000; ++i) {
        hits.push_back(EntryName((i * 7919) % kEntries));
        misses.push_back(EntryName(i) + ".missing");
    }
    FileInfo info;
    Report((std::string(kind) + " Stat, hits").c_str(), lookups, [&](int i) { return container.Stat(hits[i % 1000], info); });
    Report((std::string(kind) + " Stat, misses").c_str(), lookups,
           [&](int i) { return container.Stat(misses[i % 1000], info); });
}

}  // namespace

int main() {
    const TempDir dir;
    ZipFixtureEntries zipEntries;
    std::vector<PackFixtureEntry> packEntries;
    for (int i = 0; i < kEntries; ++i) {
        zipEntries.emplace_back(EntryName(i), "x");
        packEntries.push_back({EntryName(i), "x"});
    }
    const std::string zipPath = (dir / "data.pak").string();
    WriteZip(zipPath, zipEntries, false);
    const std::string packPath = dir.Write("data.pck", BuildPack(packEntries)).string();
    dir.Write("folder/data/level1/present.png", "x");

    ZipContainer zip;
    PackContainer pack;
    FileSystemContainer folder;
    const auto timeMount = [](const char* what, const std::function<bool()>& mount) {
        const auto start = std::chrono::steady_clock::now();
        const bool mounted = mount();
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        std::printf("%s mount (%d entries): %.1f ms\n", what, kEntries, seconds.count() * 1e3);
        return mounted;
    };
    if (!timeMount("zip", [&] { return zip.Init(zipPath, kArchivePassword, ""); }) ||
        !timeMount("pack", [&] { return pack.Init("", packPath); }) || !folder.Init((dir / "folder").string(), false))
        return 1;

    ReportHitsAndMisses("zip", zip, kLookups);
    ReportHitsAndMisses("pack", pack, kLookups);
    FileInfo info;
    Report("directory Stat, hits", kLookups / 10, [&](int) { return folder.Stat("data/level1/present.png", info); });
    Report("directory Stat, misses", kLookups / 10, [&](int i) { return folder.Stat(EntryName(i), info); });
    int32_t size = 0;
    Report("zip LoadFile, hits", kLookups / 20, [&](int i) { return zip.LoadFile(EntryName(i % kEntries), &size) != nullptr; });
    return 0;
}
