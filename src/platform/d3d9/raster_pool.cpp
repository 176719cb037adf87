#include "platform/d3d9/raster_pool.h"

#include <cstdlib>

#include "platform/d3d9/thread_pool.h"

ThreadPool& RasterPool() {
    static ThreadPool pool([] {
        const char* value = std::getenv("VELK_RASTER_THREADS");
        const long n = value ? std::strtol(value, nullptr, 10) : 0;
        return n > 0 && n <= 256 ? static_cast<unsigned>(n) : 0u;
    }());
    return pool;
}
