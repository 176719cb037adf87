#include "core/profile.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "core/frame_timer.h"
#include "core/log.h"

namespace {

struct Profiler {
    std::array<ProfileRecord, NUM_TAGS> records;
    int count = 0;
    double period_start = 0;
    bool initialised = false;
};

Profiler& State() {
    static Profiler profiler;
    return profiler;
}

double Now() { return GetFrameTimer().Now(); }

// Names are kept to 99 characters, so a longer tag finds the record it made.
std::string_view Key(const char* tag) {
    const std::string_view name(tag);
    return name.substr(0, std::min(name.size(), kTagNameLimit));
}

bool IsEmpty(const char* tag) { return !tag || !*tag; }

}  // namespace

void ProfileReset() {
    Profiler& profiler = State();
    profiler.records.fill(ProfileRecord{});
    profiler.count = 0;
    profiler.period_start = Now();
    profiler.initialised = true;
}

ProfileRecord* ProfileFindTag(const char* tag) {
    if (IsEmpty(tag)) return nullptr;
    Profiler& profiler = State();
    const std::string_view key = Key(tag);
    const auto end = profiler.records.begin() + profiler.count;
    const auto found = std::find_if(profiler.records.begin(), end, [&](const ProfileRecord& r) { return r.name == key; });
    return found == end ? nullptr : &*found;
}

ProfileRecord* ProfileAddTag(const char* tag) {
    Profiler& profiler = State();
    if (IsEmpty(tag) || profiler.count >= kUsableTags) return nullptr;
    ProfileRecord& record = profiler.records[profiler.count++];
    record = ProfileRecord{};
    record.name = Key(tag);
    return &record;
}

bool ProfileIsRunning(const char* tag) {
    const ProfileRecord* record = ProfileFindTag(tag);
    return record && record->start_time > -1;
}

int ProfileTagCount() { return State().count; }

void ProfileStart(const char* tag) {
    if (!State().initialised) ProfileReset();
    if (IsEmpty(tag)) {
        LogPrintf("ERROR in ProfileStart: a tag may not be \"\". Call is denied.");
        return;
    }
    ProfileRecord* record = ProfileFindTag(tag);
    if (!record) record = ProfileAddTag(tag);
    if (!record) {
        LogPrintf("WARNING in ProfileStart: no more space to store the tag (\"%s\"). Increase NUM_TAGS in "
                  "\"profile.h\". Call is denied.\n",
                  tag);
        return;
    }
    if (record->start_time > -1) {
        LogPrintf("ERROR in ProfileStart: nesting of equal tags not allowed (\"%s\"). Call is denied.\n", tag);
        return;
    }
    ++record->calls;
    record->stopped = false;
    record->start_time = Now();
}

void ProfileStop(const char* tag) {
    if (IsEmpty(tag)) {
        LogPrintf("ERROR in ProfileStop: a tag may not be \"\". Call is denied.");
        return;
    }
    ProfileRecord* record = ProfileFindTag(tag);
    if (!record) {
        LogPrintf("WARNING in ProfileStop: tag \"%s\" was never started. Call is denied.\n", tag);
        return;
    }
    // A second stop would add the span from the start time's -1 marker.
    if (record->start_time <= -1) {
        LogPrintf("WARNING in ProfileStop: tag \"%s\" is not running. Call is denied.\n", tag);
        return;
    }
    record->stopped = true;
    record->total += Now() - record->start_time;
    record->start_time = -1;
}

void ProfilePrint() {
    Profiler& profiler = State();
    if (profiler.count == 0) {
        LogPrintf("ProfilePrint: nothing to print.\n");
        return;
    }
    const double now = Now();
    const double elapsed = now - profiler.period_start;
    if (elapsed == 0) LogPrintf("Warning: nothing to show because timer ran for less than 1 clock-tick.");
    const auto begin = profiler.records.begin();
    const auto end = begin + profiler.count;
    for (auto it = begin; it != end; ++it) {
        if (it->stopped) continue;
        it->total += now - it->start_time;
        LogPrintf("Warning: \"%s\" started but not stopped. (Done now, but result may be over-expensive!)\n",
                  it->name.c_str());
    }
    std::stable_sort(begin, end, [](const ProfileRecord& a, const ProfileRecord& b) { return a.total > b.total; });
    LogPrintf("Profiler results (descending by percentage):");
    for (auto it = begin; it != end; ++it) {
        const double share = elapsed > 0 ? it->total / elapsed * 100 : 0.0;
        LogPrintf("< calls: %4d, total: %7.2lf, share: %4.1lf%% > - \"%s\"\n", it->calls, it->total, share,
                  it->name.c_str());
    }
}
