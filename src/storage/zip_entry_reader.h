#pragma once
// Reads the current entry of an open archive whole: stored or deflated, plain or with
// the traditional zip encryption, checked against its size and checksum.
#include <memory>
#include <string>

#include <minizip/unzip.h>

#include "storage/storage_container.h"

struct UnzipCloser {
    void operator()(void* archive) const { unzClose(archive); }
};
using UnzipHandle = std::unique_ptr<void, UnzipCloser>;

enum class ZipReadStatus { Read, CannotOpen, NoMemory, CannotRead };

struct ZipReadResult {
    ZipReadStatus status = ZipReadStatus::CannotOpen;
    FileData data;
    int32_t size = 0;
};

ZipReadResult ReadCurrentZipEntry(unzFile archive, const std::string& password);
