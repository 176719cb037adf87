#pragma once
// The one configuration record of the engine.
#include <string>
#include <vector>

struct EngineConfig {
    std::string config_file = "config.cfg";
    std::string language = "en";
    unsigned int version_number = 0;
    std::string version_date = "0000-00-00";

    bool dev_mode = false;
    bool portable = false;
    std::string portable_directory = "user";
    std::string product_author = "Vaspen Games";
    std::string product_name = "Velk Engine";
    std::string product_code = "velk";
    std::string writable_directory = "Vaspen Games/Velk Engine";
    std::string language_directory = "lang";
    int fps_limit = 0;
    std::string icon_file;
    int icon_id = 0;
    bool autoupdate = false;
    bool create_log = false;
    bool send_errors = true;
    bool confirm_exit = false;
    bool ios_simulation = false;
    bool true_text = false;
    bool tex_force_power_of_2 = true;
    bool tex_force_dxt = false;
    bool tex_16bit = false;
    bool bit16 = false;
    bool zbuffer = false;
    bool vsync = false;
    bool full_screen = false;
    int width = 1024;
    int height = 768;
    int window_width = 0;
    int window_height = 0;
    bool opengl = false;
    bool disable_audio = false;
    std::vector<std::string> custom_data_sources;

    bool operator==(const EngineConfig&) const = default;
};

extern EngineConfig g_config;

// Resets every field to its default (program start, and tests).
void InitConfigDefaults();

