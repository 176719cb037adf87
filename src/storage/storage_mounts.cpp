#include "storage/storage_mounts.h"

#include <string>

#include "core/config.h"
#include "storage/storage.h"

namespace {

// Packs and archives are mounted from the start directory, so that is where they must be.
bool InStartDirectory(const std::string& name) {
    const FileSystemContainer* start = GetStartDirectoryContainer();
    return start && start->Exists(name);
}

}  // namespace

bool MountWritableStorage() {
    if (g_config.portable) return AddDirectoryStorage(g_config.portable_directory, true, false);
    return AddWritableStorage(g_config.writable_directory);
}

void MountLanguageStorage() {
    if (AddDirectoryStorage(g_config.language_directory + "/" + g_config.language, false, false)) return;
    if (g_config.language != "en") AddDirectoryStorage(g_config.language_directory + "/en", false, false);
}

void MountDataStorage() {
    if (!g_config.custom_data_sources.empty()) {
        for (const std::string& source : g_config.custom_data_sources) AddDirectoryStorage(source, false, false);
        return;
    }
    AddDirectoryStorage("data", false, false);
    const std::string languagePack = "lang_" + g_config.language + ".pck";
    AddPackStorage(InStartDirectory(languagePack) ? languagePack : "lang_en.pck", "", false);
    AddPackStorage("data.pck", "", false);
    for (const char* archive : {"data_3.pak", "data_2.pak", "data_1.pak"})
        if (InStartDirectory(archive)) AddZipStorage(archive, "");
    AddZipStorage("data.pak", "");
}
