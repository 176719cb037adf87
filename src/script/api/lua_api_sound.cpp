#include "script/api/lua_api_sound.h"

#include <cmath>

#include "audio/sound_thread.h"
#include "core/log.h"
#include "script/lua_arguments.h"

namespace {

constexpr double kPercent = 100;
constexpr float kDefaultFade = -1;

// Rounded, so a volume set in whole per cent reads back as set; NaN reads as 0.
int PushVolumePercent(lua_State* L, float volume) {
    const double percent = std::round(volume * kPercent);
    lua_pushnumber(L, std::isnan(percent) ? 0 : std::fmin(percent, kPercent));
    return 1;
}

}  // namespace

int Api_snd_load(lua_State*) {
    for (const char* pattern : {"sounds/*", "voices/*", "music/cutscenes/*"}) QueueLoadSounds(pattern);
    return 0;
}

int Api_snd_release_sounds(lua_State* L) {
    const char* pattern = ReadStringArgument(L, 1);
    QueueReleaseSounds(pattern ? pattern : "*");
    return 0;
}

// A missing id does nothing: an empty request would match every sound.
int Api_snd_play_sound(lua_State* L) {
    const char* id = ReadStringArgument(L, 1);
    if (!id) return 0;
    const auto volume = static_cast<float>(ReadNumberArgument(L, 3, kPercent) / kPercent);
    QueuePlaySound(id, ReadBooleanArgument(L, 2, false), volume);
    return 0;
}

int Api_snd_stop_sound(lua_State* L) {
    if (const char* request = ReadStringArgument(L, 1)) QueueStopSound(request);
    return 0;
}

int Api_snd_is_sound_playing(lua_State* L) {
    const char* id = ReadStringArgument(L, 1);
    lua_pushboolean(L, id && IsSoundPlayingNow(id));
    return 1;
}

int Api_snd_play_music(lua_State* L) {
    const char* name = ReadStringArgument(L, 1);
    const bool loop = ReadBooleanArgument(L, 2, true);
    LogPrintf("snd_play_music(%s, %d)", name ? name : "", loop ? 1 : 0);
    if (name) QueuePlayMusic(name, loop, 1.0f);
    return 0;
}

int Api_snd_stop_music(lua_State* L) {
    float fade = kDefaultFade;
    if (lua_isboolean(L, 1)) {
        fade = lua_toboolean(L, 1) ? kDefaultFade : 0;
    } else if (lua_isnumber(L, 1)) {
        fade = static_cast<float>(lua_tonumber(L, 1));
    }
    QueueStopMusic(fade);
    return 0;
}

int Api_snd_sound_volume(lua_State* L) {
    const float current = CurrentSoundVolume();
    if (lua_isnumber(L, 1)) QueueSoundVolume(static_cast<float>(lua_tonumber(L, 1) / kPercent));
    return PushVolumePercent(L, current);
}

int Api_snd_music_volume(lua_State* L) {
    const float current = CurrentMusicVolume();
    // Whole per cent; std::trunc keeps infinities and NaN without an integer conversion.
    if (lua_isnumber(L, 1)) QueueMusicVolume(static_cast<float>(std::trunc(lua_tonumber(L, 1)) / kPercent));
    return PushVolumePercent(L, current);
}
