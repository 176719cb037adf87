#include "fuzz_fonts.h"

#include <fstream>
#include <iterator>

#include "graphics/render.h"
#include "storage/storage.h"
#include "text/font_freetype.h"

// Lengths in "dp" read the window size; there is no window here.
RendererState g_renderer;

const std::string& RealFace() {
    static const std::string face = [] {
        std::ifstream in(kRealFace, std::ios::binary);
        std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (bytes.empty()) __builtin_trap();
        return bytes;
    }();
    return face;
}

void StartFontsOnce(const std::string& folder) {
    static const bool started = [&] {
        InitStorage();
        AddDirectoryStorage(folder, false, true);
        TrueText_InitFreeType();
        return true;
    }();
    (void)started;
}
