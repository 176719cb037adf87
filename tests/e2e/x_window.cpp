#include "x_window.h"

#include <cstdlib>

bool UnderPrivateX() { return std::getenv("DISPLAY") && std::getenv("VELK_X_CLICKS"); }

std::string FindWindowScript(const std::string& title) {
    return "id=$(timeout 40 xdotool search --sync --onlyvisible --name '" + title +
           "' | head -n 1) && [ -n \"$id\" ] && sleep 0.5";
}

int ClickInWindow(const std::string& title, const std::vector<std::pair<int, int>>& points) {
    std::string script = FindWindowScript(title);
    for (const auto& [x, y] : points)
        script += " && xdotool mousemove --window $id " + std::to_string(x) + " " + std::to_string(y) +
                  " && sleep 0.2 && xdotool click 1 && sleep 0.3";
    return std::system(script.c_str());
}
