#pragma once
// A data source over bytes in memory that notes how it was used.
#include "ogv_data_source.h"

#include <algorithm>
#include <cstring>
#include <string>

struct SourceRecord {
    bool deleted = false;
    bool seekedBeforeStart = false;
};

class MemorySource : public OgvDataSource {
public:
    MemorySource(std::string bytes, SourceRecord* record = nullptr) : bytes_(std::move(bytes)), record_(record) {}
    ~MemorySource() override {
        if (record_) record_->deleted = true;
    }
    int read(void* buffer, int count) override {
        const int64_t left = std::max<int64_t>(0, static_cast<int64_t>(bytes_.size()) - position_);
        const int n = static_cast<int>(std::min<int64_t>(count, left));
        if (n > 0) std::memcpy(buffer, bytes_.data() + position_, static_cast<std::size_t>(n));
        position_ += n;
        return n;
    }
    std::string getName() const override { return "memory.ogv"; }
    void seek(int64_t position) override {
        if (position < 0 && record_) record_->seekedBeforeStart = true;
        position_ = std::max<int64_t>(0, position);
    }
    int64_t getSize() const override { return static_cast<int64_t>(bytes_.size()); }
    int64_t getPosition() const override { return position_; }

private:
    std::string bytes_;
    int64_t position_ = 0;
    SourceRecord* record_;
};
