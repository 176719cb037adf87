// The image library's decoder compiled into the fuzz build, so that its reads are
// instrumented too (the engine links the system's build of the same sources).
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
