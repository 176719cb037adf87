#pragma once
// The threads every software device rasterises on, started on first use. The variable
// VELK_RASTER_THREADS sets how many (default: one per core).
class ThreadPool;

ThreadPool& RasterPool();
