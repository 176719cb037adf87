#include "storage/storage_path.h"

#include <cstring>

#include "core/string_utils.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::size_t LastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

// The position of the extension's '.', or npos when the file-name part has none.
std::size_t ExtensionDot(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos) return dot;
    const std::size_t separator = LastSeparator(path);
    return separator != std::string::npos && separator > dot ? std::string::npos : dot;
}

}  // namespace

bool IsAbsolutePath(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return true;
    return !path.empty() && IsSeparator(path[0]);
}

std::string GetDirectory(const std::string& path) {
    const std::size_t separator = LastSeparator(path);
    return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

std::string GetFileName(const std::string& path) {
    const std::size_t separator = LastSeparator(path);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string RemoveExtension(const std::string& path) {
    const std::size_t dot = ExtensionDot(path);
    return dot == std::string::npos ? path : path.substr(0, dot);
}

std::string GetExtension(const std::string& path) {
    const std::size_t dot = ExtensionDot(path);
    return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

const char* FindExtension(const char* path) {
    for (const char* p = path + std::strlen(path); p != path; --p) {
        if (p[-1] == '.') return p;
        if (IsSeparator(p[-1])) return nullptr;
    }
    return nullptr;
}

std::string NormalizePath(const std::string& path) {
    std::string result = path;
    for (char& c : result)
        if (c == '\\') c = '/';
    TrimLeft(" \n\t", result);
    TrimRight(" \n\t/", result);
    return result;
}

std::string NormalizePathLower(const std::string& path) { return ToLower(NormalizePath(path)); }

bool HasWildcards(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

bool WildcardMatch(const char* pattern, const char* text) {
    const char* p = pattern;
    const char* t = text;
    char pending = 0;
    char wildcard = 0;
    while (*t) {
        const char d = *t;
        if (*p == '*') {
            wildcard = '*';
            while (*p == '*') ++p;
            if (!*p) {
                // A trailing '*' takes the rest, which may end in one '/' (a directory entry).
                const char* slash = std::strchr(t, '/');
                return !slash || !slash[1];
            }
            pending = *p;
        }
        if (pending) {
            if (d == pending || pending == '?') {
                ++p;
                pending = 0;
            }
            ++t;
            if (d == '/') return !*t;
            continue;
        }
        const char e = *p;
        if (e != d && e != '?') return false;
        if (e == '?') wildcard = '?';
        if (!p[1] && wildcard == '*') {
            for (; *t; ++t)
                if (*t != e) return false;
            return true;
        }
        ++p;
        ++t;
    }
    while (*p == '*') ++p;
    return !*p;
}
