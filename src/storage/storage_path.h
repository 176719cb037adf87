#pragma once
// Path and wildcard helpers shared by storage and its callers. A separator is '/' or '\'.
#include <string>

bool IsAbsolutePath(const std::string& path);
std::string GetDirectory(const std::string& path);
std::string GetFileName(const std::string& path);
// Only a '.' in the file-name part starts an extension.
std::string RemoveExtension(const std::string& path);
std::string GetExtension(const std::string& path);
// Just past the last '.' of the file-name part, or null when it has none.
const char* FindExtension(const char* path);
std::string NormalizePath(const std::string& path);
std::string NormalizePathLower(const std::string& path);

// The archive matcher: '*' matches a run without '/', '?' one character, bytes compared
// exactly; one greedy pass without backtracking.
bool WildcardMatch(const char* pattern, const char* text);
inline bool WildcardMatch(const std::string& pattern, const std::string& text) {
    return WildcardMatch(pattern.c_str(), text.c_str());
}
bool HasWildcards(const std::string& text);
