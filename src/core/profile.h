#pragma once
// Wall-clock profiler: named sections bracketed by ProfileStart and ProfileStop, reported
// to the log by ProfilePrint.
#include <string>

inline constexpr int NUM_TAGS = 100;
inline constexpr int kUsableTags = NUM_TAGS - 1;
inline constexpr std::size_t kTagNameLimit = 99;

struct ProfileRecord {
    std::string name;
    int calls = 0;
    double start_time = -1;
    bool stopped = false;
    double total = 0;
};

void ProfileReset();
void ProfileStart(const char* tag);
void ProfileStop(const char* tag);
void ProfilePrint();

ProfileRecord* ProfileAddTag(const char* tag);
ProfileRecord* ProfileFindTag(const char* tag);
bool ProfileIsRunning(const char* tag);
int ProfileTagCount();
