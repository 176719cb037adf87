#include "platform/linux/web_browser.h"

#include <cstdlib>
#include <string>

#include "platform/linux/process_spawn.h"

bool OpenWebAddress(const char* address) {
    const char* replacement = std::getenv("VELK_WEB_OPENER");
    std::string opener = replacement && *replacement ? replacement : "xdg-open";
    std::string argument = address;
    char* const argv[] = {opener.data(), argument.data(), nullptr};
    return SpawnFromPath(opener.c_str(), argv);
}
