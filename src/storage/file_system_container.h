#pragma once
// A directory of the platform file system as a storage container; the writable
// container is one of these.
#include <string>

#include "storage/storage_container.h"

class FileSystemContainer : public StorageContainer {
public:
    enum class SaveStatus { Saved, Refused, OpenFailed, ShortWrite, FlushFailed };
    struct SaveOutcome {
        SaveStatus status = SaveStatus::Saved;
        std::size_t written = 0;
        std::size_t expected = 0;
    };

    // Creates every directory along the path first when create is set.
    bool Init(const std::string& path, bool create);
    // The directory's absolute path followed by "/".
    const std::string& Root() const { return root_; }

    bool Stat(const std::string& name, FileInfo& info) const override;
    int List(const std::string& pattern, FileInfoMap& map, bool files, bool directories) const override;
    // Files that begin with 00 0F come back unscrambled; a directory is not a file.
    FileData LoadFile(const std::string& name, int32_t* size) const override;
    bool IsFileSystem() const override { return true; }
    bool QueryFileDescription(const std::string& name, FileDescription* description) const override;

    // The writing side. Names that would leave the root ("..", absolute paths) are refused.
    FileStream OpenFile(const std::string& name, bool forWriting) const;
    // Fatal when the file can not be written; false only for a refused name.
    bool Save(const std::string& name, const char* data, std::size_t length, bool overwrite, bool binary,
              bool scramble) const;
    // Save without any report, for callers that must not log (the log itself).
    SaveOutcome TrySave(const std::string& name, const char* data, std::size_t length, bool overwrite, bool binary,
                        bool scramble) const;
    bool CreateDirectory(const std::string& path) const;
    bool RemoveDirectory(const std::string& path, bool recursive) const;
    bool DeleteFile(const std::string& name) const;
    int DeleteFiles(const std::string& pattern) const;
    bool Rename(const std::string& oldName, const std::string& newName) const;

private:
    std::string root_;
};

// Creates every directory along the path; true only when the last one was created.
bool MakeDirectories(const std::string& path);
// False for names that are empty, absolute, hold ".." or name the root itself.
bool StaysInside(const std::string& name);
