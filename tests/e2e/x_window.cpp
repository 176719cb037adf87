#include "x_window.h"

#include <cstdlib>

bool UnderPrivateX() { return std::getenv("DISPLAY") && std::getenv("VELK_X_CLICKS"); }

// A search polls rather than waiting with --sync: a window that goes away while xdotool
// reads it (SDL makes short-lived ones while it starts) ends that search with an X error.
std::string FindWindowScript(const std::string& title) {
    return "id=; for try in $(seq 120); do id=$(xdotool search --onlyvisible --name '" + title +
           "' 2>/dev/null | head -n 1); [ -n \"$id\" ] && break; sleep 0.5; done; [ -n \"$id\" ] && sleep 0.5";
}

int ClickInWindow(const std::string& title, const std::vector<std::pair<int, int>>& points) {
    std::string script = FindWindowScript(title);
    for (const auto& [x, y] : points)
        script += " && xdotool mousemove --window $id " + std::to_string(x) + " " + std::to_string(y) +
                  " && sleep 0.2 && xdotool click 1 && sleep 0.3";
    return std::system(script.c_str());
}
