#pragma once
// The flat script API: registration of every global function and table, and the
// per-frame refresh of the tables the engine writes.
#include <lua.hpp>

// Called once, after the libraries are open and before "init.lua" runs.
void RegisterLuaApi();
// Before the script's update: the input state into `mouse` and `touchpad`.
void UpdateMouseTables();
// After the script's render: the texture and draw statistics into `velk`.
void UpdateEngineStats();
// Per frame, before drawing: the input tables, the script's update (then the music
// notice) and, in dev_mode, the developer hot keys.
void UpdateScriptFrame(float dt);
// Per frame, inside the scene: the script's render, the statistics into `velk`, and
// whatever the script left in the batch is drawn.
void RenderScriptFrame();
