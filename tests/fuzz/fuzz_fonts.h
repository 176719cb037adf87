#pragma once
// What the font targets share: a real face, and storage plus FreeType started once.
#include <string>

inline constexpr const char* kRealFace = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

// The bytes of kRealFace (fonts-dejavu-core is a build dependency of the targets).
const std::string& RealFace();

// Mounts the folder as the game's data and starts FreeType, on the first call only.
void StartFontsOnce(const std::string& folder);
