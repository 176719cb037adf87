#pragma once
// Texts fixed when the engine is built.

inline constexpr const char* kEngineVersion = "3.X";
inline constexpr const char* kPlatformName = "win32";

// Month abbreviation, day and year, e.g. "Dec 10 2026".
const char* BuildDate();
// Short hexadecimal source revision.
const char* RevisionId();
