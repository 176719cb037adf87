#include "audio/sound_registry.h"

#include <AL/al.h>

#include <algorithm>
#include <new>

#include "audio/openal_error.h"
#include "audio/sound_stream.h"
#include "core/log.h"

namespace {

// Reads until the stream ends or the buffer is full.
int64_t ReadWhole(VSoundStream& stream, char* data, int64_t size) {
    int64_t done = 0;
    while (done < size) {
        const int chunk = static_cast<int>(std::min<int64_t>(size - done, int64_t{1} << 20));
        const int got = stream.read(data + done, chunk);
        if (got <= 0) break;
        done += got;
    }
    return done;
}

}  // namespace

void SoundEntry::loadSample() {
    loaded = true;
    alGenBuffers(1, &buffer);
    CheckOpenALError();
    const std::unique_ptr<VSoundStream> sample = CreateSoundStream(path);
    const int64_t size = std::clamp<int64_t>(sample->totalBytes, 0, kWholeDecodeLimit);
    const std::unique_ptr<char[]> data(new (std::nothrow) char[static_cast<std::size_t>(size) + 1]);
    if (!data) {
        LogPrintf("Not enough memory to decode %s", path.c_str());
        return;
    }
    const int64_t got = ReadWhole(*sample, data.get(), size);
    alBufferData(buffer, sample->format, data.get(), static_cast<ALsizei>(got), sample->rate);
    CheckOpenALError();
}

void SoundEntry::unload() {
    if (!loaded) return;
    alDeleteBuffers(1, &buffer);
    CheckOpenALError();
    buffer = 0;
    loaded = false;
}

SoundEntry* SoundRegistry::FindSound(const std::string& id) const {
    const auto found = entries_.find(id);
    return found == entries_.end() ? nullptr : found->second.get();
}

SoundEntry& SoundRegistry::add(std::unique_ptr<SoundEntry> entry) {
    SoundEntry& added = *entry;
    entries_.emplace(added.id, std::move(entry));
    return added;
}

void SoundRegistry::clear() {
    for (auto& [id, entry] : entries_) entry->unload();
    entries_.clear();
}
