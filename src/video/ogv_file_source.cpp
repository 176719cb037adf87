#include "video/ogv_file_source.h"

#include <algorithm>
#include <cstdio>
#include <utility>

OgvFileSource::OgvFileSource(FileStream file, std::string name) : file_(std::move(file)), name_(std::move(name)) {
    if (std::fseek(file_.get(), 0, SEEK_END) == 0) size_ = std::max<int64_t>(0, std::ftell(file_.get()));
    std::fseek(file_.get(), 0, SEEK_SET);
}

int OgvFileSource::read(void* buffer, int count) {
    if (count <= 0) return 0;
    return static_cast<int>(std::fread(buffer, 1, static_cast<std::size_t>(count), file_.get()));
}

void OgvFileSource::seek(int64_t position) { std::fseek(file_.get(), static_cast<long>(position), SEEK_SET); }

int64_t OgvFileSource::getPosition() const { return std::ftell(file_.get()); }
