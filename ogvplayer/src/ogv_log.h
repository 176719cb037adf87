#pragma once
// The video library's own log, apart from any host's log file.
//   OgvLog(text)             passes the text to the current log function
//   OgvSetLogFunction(fn)    replaces it (null restores the console default)
//   OgvLogToConsole(text)    the default: the text and a newline on standard output
//   ogvIntToString(n)        "%d"
//   ogvFloatToString(x)      "%.3f"
#include <string>

using OgvLogFunction = void (*)(const std::string& text);

void OgvLog(const std::string& text);
void OgvSetLogFunction(OgvLogFunction function);
void OgvLogToConsole(const std::string& text);
std::string ogvIntToString(int value);
std::string ogvFloatToString(float value);
