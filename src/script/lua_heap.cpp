#include "script/lua_heap.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/log.h"

namespace {

// Most blocks of a scene are far smaller; a big table's parts go to the C heap.
constexpr std::size_t kLargestPooledBlock = 64 * 1024;

std::pmr::pool_options PoolOptions() {
    std::pmr::pool_options options;
    options.largest_required_pool_block = kLargestPooledBlock;
    return options;
}

}  // namespace

LuaHeap::LuaHeap() : pools_(PoolOptions()) {}

void* LuaHeap::resize(void* block, std::size_t oldSize, std::size_t newSize) {
    if (newSize == 0) {
        if (block) pools_.deallocate(block, oldSize);
        return nullptr;
    }
    void* moved = pools_.allocate(newSize);
    if (block) {
        std::memcpy(moved, block, oldSize < newSize ? oldSize : newSize);
        pools_.deallocate(block, oldSize);
    }
    return moved;
}

void* LuaHeap::Reallocate(void* heap, void* block, std::size_t oldSize, std::size_t newSize) noexcept {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer sees every block on its own only in the C heap.
    (void)heap;
    (void)oldSize;
    if (newSize != 0) return std::realloc(block, newSize);
    std::free(block);
    return nullptr;
#else
    try {
        return static_cast<LuaHeap*>(heap)->resize(block, oldSize, newSize);
    } catch (const std::bad_alloc&) {
        if (block && newSize <= oldSize) VELK_ERROR("Out of memory while shrinking a block of the script state");
        return nullptr;
    }
#endif
}
