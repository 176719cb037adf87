#pragma once
// Registered sounds by id (the file name without directory and extension).
//   SoundEntry              one registered file; a short one is decoded whole on first play
//   SoundEntry::loadSample  decodes the file into the entry's OpenAL buffer
//   SoundEntry::unload      deletes that buffer; the entry stays registered
//   SoundRegistry           the ids in bytewise order
#include <cstdint>
#include <map>
#include <memory>
#include <string>

// The largest whole decode: a small file may claim any length.
inline constexpr int64_t kWholeDecodeLimit = int64_t{64} << 20;

struct SoundEntry {
    void loadSample();
    void unload();

    unsigned int buffer = 0;
    bool stream = false;
    bool loaded = false;
    std::string path;
    std::string id;
};

class SoundRegistry {
public:
    using Map = std::map<std::string, std::unique_ptr<SoundEntry>, std::less<>>;

    bool HasSound(const std::string& id) const { return entries_.contains(id); }
    // Null when the id is not registered.
    SoundEntry* FindSound(const std::string& id) const;
    SoundEntry& add(std::unique_ptr<SoundEntry> entry);
    // Deletes every loaded buffer and forgets every entry.
    void clear();
    const Map& entries() const { return entries_; }

private:
    Map entries_;
};
