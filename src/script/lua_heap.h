#pragma once
// The script state's memory, in pools of its own. Kept apart from the engine's heap, the
// tables, closures and strings of a scene's objects lie beside each other rather than
// between the objects' native records: a frame over thousands of objects reads far fewer
// cache lines and pages, on the script's side and on the engine's.
#include <cstddef>
#include <memory_resource>

class LuaHeap {
public:
    LuaHeap();
    LuaHeap(const LuaHeap&) = delete;
    LuaHeap& operator=(const LuaHeap&) = delete;

    // The state's lua_Alloc, with the heap as its data. A failing growth returns null (the
    // state raises "not enough memory"); shrinking never fails, as the state relies on:
    // with no memory left to move the block, that is fatal.
    static void* Reallocate(void* heap, void* block, std::size_t oldSize, std::size_t newSize) noexcept;

private:
    void* resize(void* block, std::size_t oldSize, std::size_t newSize);

    std::pmr::unsynchronized_pool_resource pools_;
};
