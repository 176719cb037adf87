#include "ogv_exception.h"

#include <utility>

namespace {

// Keeps what follows the last "src" directory and its separator, so texts do not carry
// the build machine's paths.
std::string AfterSourceDirectory(const std::string& path) {
    const std::size_t at = path.rfind("src");
    if (at == std::string::npos || at + 3 >= path.size()) return path;
    const char separator = path[at + 3];
    if (separator != '/' && separator != '\\') return path;
    return path.substr(at + 4);
}

}  // namespace

OgvException::OgvException(std::string message, const std::string& sourceFile, int line)
    : message_(std::move(message)), file_(AfterSourceDirectory(sourceFile)), line_(line) {}

std::string OgvException::getErrorText() const {
    if (file_.empty()) return message_;
    return "[" + file_ + ":" + std::to_string(line_) + "] - " + message_;
}
