#pragma once
// The file calls under storage, on UTF-8 paths. Paths that do not exist in the case
// given are found in another case (game data made on Windows names files in any case);
// an exact match always wins, and '\' is a separator.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

// What Stat and List report: the size in bytes, -1 for a directory.
struct FileInfo {
    int32_t size = 0;
};

using FileInfoMap = std::map<std::string, FileInfo>;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileStream = std::unique_ptr<std::FILE, FileCloser>;

// $XDG_DATA_HOME when it is absolute, else $HOME/.local/share, as text.
std::string Storage_UserDataBase();
// The path names a directory as it is (no search in other cases).
bool Storage_IsDirectory(const std::string& path);
// Absolute and without "." or "..", worked out from the text alone.
std::string Storage_GetFullPath(const std::string& path);
// The path as it is on disk: each missing component replaced by one that differs only in case.
std::string Storage_ResolvePath(const std::string& path);
// A wildcard in the last component finds the first matching entry; a path that ends in a
// separator finds nothing.
bool Storage_Stat(const std::string& path, FileInfo& info);
int Storage_ListDirectory(const std::string& patternPath, FileInfoMap& map, bool files, bool directories);
// The mode may hold 't' (text), which is the caller's business here.
FileStream Storage_OpenFile(const std::string& path, const char* mode);
bool Storage_DeleteFile(const std::string& path);
// One directory; false when it exists already.
bool Storage_CreateDirectory(const std::string& path);
bool Storage_RemoveDirectory(const std::string& path);
// Removes everything inside a directory, never following symbolic links; false when
// anything stays. The directory itself stays.
bool Storage_RemoveTree(const std::string& path);
// Never replaces an existing file or directory.
bool Storage_Rename(const std::string& oldPath, const std::string& newPath);
// Flushes the stream and waits until its data are on the disk.
bool Storage_FlushFile(std::FILE* file);
// A new, empty file beside the path (same folder, so a rename can put it in the path's
// place), with the mode of the file it will replace; its name goes to temporaryPath.
// Null when the path holds a file this process may not write. At the path's first save in a
// run, the temporary files of earlier writers of it that are no longer running are removed.
FileStream Storage_CreateTemporaryFile(const std::string& path, std::string& temporaryPath);
// Puts the file in the path's place in one step, replacing the old file there, and waits
// until the folder's change is on the disk. Fails on a directory in the way.
bool Storage_ReplaceFile(const std::string& temporaryPath, const std::string& path);
// Reads at an absolute offset without moving the stream (safe from several threads).
std::size_t Storage_ReadAt(std::FILE* file, void* buffer, std::size_t size, uint64_t offset);
int64_t Storage_FileSize(std::FILE* file);

// The directory search's name matching: case ignored, '*' any run, '?' one character,
// and a final ".*" also matches names without a dot ("*.*" matches everything).
bool Storage_WildcardMatchName(const std::string& pattern, const std::string& name);
