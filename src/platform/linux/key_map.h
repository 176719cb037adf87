#pragma once
// SDL keys to the Windows virtual-key codes the scripts see.
#include <SDL_keyboard.h>

// Letters and digits by keycode (the layout's meaning), everything else by scancode
// (the key's position); 0 for keys with no code.
int VirtualKeyFromSdl(const SDL_Keysym& key);
