#include "formats/start_files.h"

#include <optional>
#include <utility>
#include <variant>

#include "core/config.h"
#include "core/log.h"
#include "core/string_utils.h"
#include "formats/vstore.h"
#include "storage/storage.h"

namespace {

using ConfigField = std::variant<bool EngineConfig::*, int EngineConfig::*, std::string EngineConfig::*>;

struct ConfigKey {
    const char* key;
    ConfigField field;
};

// Read before the default writable folder is derived from author and name.
const ConfigKey kIdentityKeys[] = {
    {"dev_mode", &EngineConfig::dev_mode},
    {"portable", &EngineConfig::portable},
    {"portable_directory", &EngineConfig::portable_directory},
    {"product_author", &EngineConfig::product_author},
    {"product_name", &EngineConfig::product_name},
    {"product_code", &EngineConfig::product_code},
};

// "dxdiag" is accepted in files but has no effect, so it is not read at all.
const ConfigKey kSettingKeys[] = {
    {"writable_directory", &EngineConfig::writable_directory},
    {"language_directory", &EngineConfig::language_directory},
    {"fps_limit", &EngineConfig::fps_limit},
    {"icon_file", &EngineConfig::icon_file},
    {"icon_id", &EngineConfig::icon_id},
    {"autoupdate", &EngineConfig::autoupdate},
    {"create_log", &EngineConfig::create_log},
    {"send_errors", &EngineConfig::send_errors},
    {"confirm_exit", &EngineConfig::confirm_exit},
    {"ios_simulation", &EngineConfig::ios_simulation},
    {"true_text", &EngineConfig::true_text},
    {"tex_force_power_of_2", &EngineConfig::tex_force_power_of_2},
    {"tex_force_dxt", &EngineConfig::tex_force_dxt},
    {"tex_16bit", &EngineConfig::tex_16bit},
    {"bit16", &EngineConfig::bit16},
    {"zbuffer", &EngineConfig::zbuffer},
    {"vsync", &EngineConfig::vsync},
    {"full_screen", &EngineConfig::full_screen},
    {"width", &EngineConfig::width},
    {"height", &EngineConfig::height},
    {"window_width", &EngineConfig::window_width},
    {"window_height", &EngineConfig::window_height},
    {"opengl", &EngineConfig::opengl},
    {"disable_audio", &EngineConfig::disable_audio},
};

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};

// An absent key leaves its field as it is.
template <std::size_t N>
void ReadKeys(const VStoreNode& root, const ConfigKey (&keys)[N]) {
    for (const ConfigKey& entry : keys) {
        std::visit(Overloaded{
                       [&](bool EngineConfig::*field) { root.GetBool(entry.key, g_config.*field); },
                       [&](int EngineConfig::*field) { root.GetInt(entry.key, g_config.*field); },
                       [&](std::string EngineConfig::*field) { root.GetString(entry.key, g_config.*field); },
                   },
                   entry.field);
    }
}

// The list's values come in key order: "0", "1", "10", "11", "2", ...
void ReadCustomDataSources(const VStoreNode& root) {
    const VStoreNode* sources = root.GetChild("custom_data_sources");
    if (!sources) return;
    for (const auto& entry : sources->Values()) g_config.custom_data_sources.push_back(entry.second);
}

// The one place that reads the start files: from the start directory only, never from
// data containers. nullopt when the file is missing; a byte-order mark is dropped.
std::optional<std::string> LoadStartFile(const std::string& name) {
    const FileSystemContainer* start = GetStartDirectoryContainer();
    int32_t size = 0;
    const FileData data = start ? start->LoadFile(name, &size) : nullptr;
    if (!data) return std::nullopt;
    std::string text(data.get(), static_cast<std::size_t>(size));
    DropByteOrderMark(text);
    return text;
}

}  // namespace

bool LoadLanguageFile(std::string& language) {
    std::optional<std::string> text = LoadStartFile("language.txt");
    if (!text || text->empty()) return false;
    TrimLeft(kBlanks, *text);
    TrimRight(kBlanks, *text);
    language = std::move(*text);
    return true;
}

bool LoadVersionFile(unsigned int& number, std::string& date) {
    const std::optional<std::string> text = LoadStartFile("version.txt");
    if (!text || text->empty()) return false;
    const std::vector<std::string> words = SplitString(*text, " \r\n");
    if (!words.empty()) number = StringToUnsigned(words[0]);
    if (words.size() > 1) date = words[1];
    return true;
}

void LoadConfig() {
    const std::optional<std::string> text = LoadStartFile(g_config.config_file);
    if (!text) {
        g_config.dev_mode = true;  // so the error box shows
        // Reported as the start-up code that asked for the file.
        LogError("velk_main.cpp", __LINE__, "Can't load config file (%s).", g_config.config_file.c_str());
    }
    VStoreNode root;
    // A syntax error is shown as a missing file is: nothing read yet may say dev_mode.
    const bool devMode = std::exchange(g_config.dev_mode, true);
    root.Parse(text->data(), text->size(), g_config.config_file.c_str());
    g_config.dev_mode = devMode;
    ReadKeys(root, kIdentityKeys);
    g_config.writable_directory = g_config.product_author + "/" + g_config.product_name;
    ReadKeys(root, kSettingKeys);
    ReadCustomDataSources(root);
}
