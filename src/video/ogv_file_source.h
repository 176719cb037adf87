#pragma once
// OgvFileSource: a video file of a directory container as the video library's data
// source; it owns the file and closes it with itself.
#include "ogv_data_source.h"
#include "storage/storage_container.h"

#include <string>

class OgvFileSource : public OgvDataSource {
public:
    OgvFileSource(FileStream file, std::string name);

    int read(void* buffer, int count) override;
    std::string getName() const override { return name_; }
    void seek(int64_t position) override;
    int64_t getSize() const override { return size_; }
    int64_t getPosition() const override;

private:
    FileStream file_;
    std::string name_;
    int64_t size_ = 0;
};
