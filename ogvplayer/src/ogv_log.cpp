#include "ogv_log.h"

#include <cstdio>

namespace {

OgvLogFunction g_logFunction = OgvLogToConsole;

}  // namespace

void OgvLog(const std::string& text) { g_logFunction(text); }

void OgvSetLogFunction(OgvLogFunction function) { g_logFunction = function ? function : OgvLogToConsole; }

void OgvLogToConsole(const std::string& text) { std::printf("%s\n", text.c_str()); }

std::string ogvIntToString(int value) { return std::to_string(value); }

std::string ogvFloatToString(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(value));
    return text;
}
