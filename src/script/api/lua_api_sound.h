#pragma once
// Flat script functions: sound and music. Requests go to the sound thread's queue; only
// snd_is_sound_playing waits, briefly, for the thread's answer.
#include <lua.hpp>

int Api_snd_load(lua_State* L);
int Api_snd_release_sounds(lua_State* L);
int Api_snd_play_sound(lua_State* L);
int Api_snd_stop_sound(lua_State* L);
int Api_snd_is_sound_playing(lua_State* L);
int Api_snd_play_music(lua_State* L);
int Api_snd_stop_music(lua_State* L);
int Api_snd_sound_volume(lua_State* L);
int Api_snd_music_volume(lua_State* L);
