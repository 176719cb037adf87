#pragma once
// The engine's one video manager.
//   CreateVideoManager()    at start-up (logs the library's banner)
//   GetVideoManager()       null before start-up and after shutdown
//   DestroyVideoManager()   at shutdown, after the script state: frees any clip left
class OgvVideoManager;

void CreateVideoManager();
OgvVideoManager* GetVideoManager();
void DestroyVideoManager();
