#include "storage/pack_container.h"

#include <algorithm>
#include <climits>

#include "core/log.h"
#include "platform/linux/storage_linux.h"
#include "storage/scramble.h"
#include "storage/storage_path.h"

namespace {

constexpr uint64_t kSmallestRecord = 4 + 4 + 4 + 1 + 4;

// Sequential little-endian reads from the pack through a buffer, each bounded by the
// file's size.
class PackReader {
public:
    PackReader(std::FILE* file, uint64_t fileSize) : file_(file), fileSize_(fileSize) {}

    uint64_t Remaining() const { return fileSize_ - position_; }

    bool Bytes(void* out, std::size_t count) {
        if (count > Remaining()) return false;
        char* target = static_cast<char*>(out);
        while (count > 0) {
            if (next_ == buffer_.size() && !Refill()) return false;
            const std::size_t part = std::min(count, buffer_.size() - next_);
            std::copy_n(buffer_.data() + next_, part, target);
            next_ += part;
            position_ += part;
            target += part;
            count -= part;
        }
        return true;
    }

    bool Word(uint32_t& value) {
        unsigned char bytes[4];
        if (!Bytes(bytes, sizeof bytes)) return false;
        value = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
        return true;
    }

private:
    static constexpr std::size_t kChunk = 64 * 1024;

    bool Refill() {
        buffer_.resize(static_cast<std::size_t>(std::min<uint64_t>(kChunk, Remaining())));
        next_ = 0;
        return !buffer_.empty() && Storage_ReadAt(file_, buffer_.data(), buffer_.size(), position_) == buffer_.size();
    }

    std::FILE* file_;
    uint64_t fileSize_;
    uint64_t position_ = 0;
    std::vector<char> buffer_;
    std::size_t next_ = 0;
};

const char* ReadRecord(PackReader& reader, uint64_t fileSize, PackContainer::Entry& entry) {
    uint32_t nameLength = 0;
    if (!reader.Word(nameLength) || !reader.Word(entry.storedSize) || !reader.Word(entry.offset))
        return "truncated directory";
    if (nameLength > reader.Remaining()) return "name longer than the file";
    entry.name.resize(nameLength);
    unsigned char flag = 0;
    if (!reader.Bytes(entry.name.data(), nameLength) || !reader.Bytes(&flag, 1) || !reader.Word(entry.reportedSize))
        return "truncated directory";
    entry.scrambled = flag != 0;
    if (uint64_t{entry.offset} + entry.storedSize > fileSize) return "entry beyond the end of the file";
    if (entry.storedSize > INT32_MAX || entry.reportedSize > INT32_MAX) return "entry too large";
    return nullptr;
}

}  // namespace

bool PackContainer::Init(const std::string& prefix, const std::string& path) {
    LogPrintf("PackContainer::Init(fileName = [%s], offset = [%d], length = [%d], prefix = [%s]", path.c_str(), 0, -1,
              prefix.c_str());
    prefix_ = prefix;
    path_ = path;
    file_ = Storage_OpenFile(path, "rb");
    std::string problem;
    if (file_ && !ReadDirectory(problem)) {
        LogPrintf("Storage: %s is not a valid pack file: %s.", path.c_str(), problem.c_str());
        file_.reset();
    }
    if (!file_) {
        LogPrintf("Storage: %s not found, skipping pack container.", path.c_str());
        return false;
    }
    LogPrintf("Storage: Adding Pack container %s", path.c_str());
    return true;
}

bool PackContainer::ReadDirectory(std::string& problem) {
    const int64_t fileSize = Storage_FileSize(file_.get());
    PackReader reader(file_.get(), fileSize < 0 ? 0 : static_cast<uint64_t>(fileSize));
    uint32_t skipped = 0;
    uint32_t count = 0;
    if (!reader.Word(skipped) || !reader.Word(count)) {
        problem = "truncated header";
        return false;
    }
    if (count > reader.Remaining() / kSmallestRecord) {
        problem = "entry count larger than the file";
        return false;
    }
    entries_.resize(count);
    for (Entry& entry : entries_) {
        if (const char* error = ReadRecord(reader, static_cast<uint64_t>(fileSize), entry)) {
            problem = error;
            return false;
        }
        if (&entry != entries_.data() && entry.name < (&entry - 1)->name) {
            problem = "directory not sorted by name";
            return false;
        }
    }
    return true;
}

int PackContainer::FindEntry(std::string_view fullName) const {
    int lo = 0;
    int hi = static_cast<int>(entries_.size()) - 1;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const int order = fullName.compare(entries_[static_cast<std::size_t>(mid)].name);
        if (order > 0) lo = mid + 1;
        else if (order == 0) return mid;
        else hi = mid - 1;
    }
    return ~lo;
}

bool PackContainer::Stat(const std::string& name, FileInfo& info) const {
    const int index = FindEntry(prefix_ + name);
    if (index < 0) return false;
    info.size = static_cast<int32_t>(entries_[static_cast<std::size_t>(index)].reportedSize);
    return true;
}

int PackContainer::List(const std::string& pattern, FileInfoMap& map, bool files, bool directories) const {
    const std::string fullPattern = prefix_ + pattern;
    int added = 0;
    const auto add = [&](const std::string& key, int32_t size) {
        if (key.empty() || map.count(key)) return;
        map.emplace(key, FileInfo{size});
        ++added;
    };
    for (const Entry& entry : entries_) {
        if (files && WildcardMatch(fullPattern, entry.name))
            add(GetFileName(entry.name), static_cast<int32_t>(entry.reportedSize));
        if (!directories) continue;
        const std::size_t slash = entry.name.find_last_of('/');
        const std::string directory = slash == std::string::npos ? std::string() : entry.name.substr(0, slash);
        if (WildcardMatch(fullPattern, directory)) add(GetFileName(directory), -1);
    }
    return added;
}

FileData PackContainer::LoadFile(const std::string& name, int32_t* size) const {
    const std::string fullName = prefix_ + name;
    const int index = FindEntry(fullName);
    if (size) *size = 0;
    if (index < 0) return nullptr;
    const Entry& entry = entries_[static_cast<std::size_t>(index)];
    FileData data = AllocateFileData(entry.storedSize);
    if (!data) VELK_ERROR("Storage:Pack: LoadFile - can't allocate memory for %s", fullName.c_str());
    const std::size_t received = Storage_ReadAt(file_.get(), data.get(), entry.storedSize, entry.offset);
    if (received != entry.storedSize)
        VELK_ERROR("Storage:Pack: Loading %s - received %d bytes, expected %d", fullName.c_str(),
                   static_cast<int>(received), static_cast<int>(entry.storedSize));
    int32_t length = static_cast<int32_t>(entry.storedSize);
    if (entry.scrambled)
        if (FileData plain = Storage_Unscramble(length, data.get(), length)) data = std::move(plain);
    if (size) *size = length;
    return data;
}

bool PackContainer::QueryFileDescription(const std::string& name, FileDescription* description) const {
    const std::string fullName = prefix_ + name;
    LogPrintf("Query Packfile '%s','%s' -> '%s'", prefix_.c_str(), name.c_str(), fullName.c_str());
    const int index = FindEntry(fullName);
    if (index < 0) return false;
    const Entry& entry = entries_[static_cast<std::size_t>(index)];
    if (entry.scrambled) VELK_ERROR("Cannot query file description (%s), file is encrypted", fullName.c_str());
    if (description)
        *description = {name, path_, static_cast<int32_t>(entry.offset), static_cast<int32_t>(entry.storedSize)};
    return true;
}
