#pragma once
// OgvDataSource: where a clip reads its bytes; the host supplies one per clip and the clip
// owns it (deleting the clip deletes its source). Sizes and positions are 64-bit.
//   read(buffer, count)  bytes read, 0 at the end
//   getName()            for log lines
//   seek(position)       from the start
//   getSize()            total bytes
//   getPosition()        current byte position
#include <cstdint>
#include <string>

class OgvDataSource {
public:
    virtual ~OgvDataSource() = default;
    virtual int read(void* buffer, int count) = 0;
    virtual std::string getName() const = 0;
    virtual void seek(int64_t position) = 0;
    virtual int64_t getSize() const = 0;
    virtual int64_t getPosition() const = 0;
};
