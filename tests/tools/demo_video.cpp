// Writes the example game's video clip (run it again after changing it):
// demo_video examples/demo/data
#include <cstdio>
#include <fstream>
#include <string>

#include "fixtures/theora_video.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <data folder>\n", argv[0]);
        return 2;
    }
    // Two seconds of a moving pattern under light noise, small enough to keep in the tree.
    TheoraVideoSpec spec;
    spec.frameWidth = 160;
    spec.frameHeight = 96;
    spec.pictureWidth = 160;
    spec.pictureHeight = 90;
    spec.frames = 50;
    spec.noisy = true;
    spec.quality = 20;
    const std::string path = std::string(argv[1]) + "/demo/clip.ogv";
    const std::string bytes = MakeTheoraVideo(spec);
    std::ofstream(path, std::ios::binary) << bytes;
    std::printf("%s: %zu bytes\n", path.c_str(), bytes.size());
    return 0;
}
