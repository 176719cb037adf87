#pragma once
// The virtual file system: an ordered list of storage containers, searched in order.
// Script mounts go to the front (latest first); start-up mounts are searched in mount
// order. Names use "/" as separator. Every call is safe from the sound thread.
#include <cstddef>
#include <cstdint>
#include <string>

#include "storage/file_system_container.h"
#include "storage/storage_container.h"

// The archive password given to every zip container.
inline constexpr const char* kArchivePassword = "Qm7Tz2Lw9Rb4Xk8Nd1Hv6Jc3Fy5Gp0Sa";

void InitStorage();
void ShutdownStorage();

bool AddDirectoryStorage(const std::string& path, bool writableAndCreate, bool atFront);
bool AddPackStorage(const std::string& path, const std::string& prefix, bool atFront);
bool AddZipStorage(const std::string& path, const std::string& prefix);
// A writable directory under the user data folder.
bool AddWritableStorage(const std::string& name);

bool FileExists(const std::string& name, FileInfo* info = nullptr);
int SearchFiles(const std::string& pattern, FileInfoMap& map, bool files, bool directories);
// Null when no container has the name; fatal instead when required.
FileData LoadFile(const std::string& name, int32_t* size, bool required);
// Only directory containers are searched; fatal when none has the name.
FileStream OpenFileDirectly(const std::string& name);
// Whether a directory container has the name, so OpenFileDirectly would find it.
bool FileExistsDirectly(const std::string& name);
std::string GetWritablePath(const std::string& name);

// The writable container, or null before it is mounted.
const FileSystemContainer* GetWritableContainer();
// The process's start directory, for the start-up files only; never searched by lookups.
const FileSystemContainer* GetStartDirectoryContainer();
const std::string& GetStartDirectory();
const std::string& GetUserDataFolder();
// $XDG_DATA_HOME, else $HOME/.local/share; created when missing, fatal when impossible.
std::string GetDefaultWriteFolder();

// Appends text to "log.txt" in the writable container; false when there is none or the
// write failed (a failing log write is not reported anywhere).
bool AppendToLogFile(const char* text, std::size_t size);
void RemoveLogFile();
