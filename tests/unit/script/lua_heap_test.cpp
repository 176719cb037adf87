#include "script/lua_heap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/config.h"
#include "script/lua_base.h"

namespace {

// Fills the block with a pattern of its size; true when the first `bytes` still hold it.
void Fill(void* block, std::size_t bytes) { std::memset(block, static_cast<int>(bytes % 251), bytes); }
bool Holds(const void* block, std::size_t bytes, std::size_t pattern) {
    const auto* data = static_cast<const unsigned char*>(block);
    for (std::size_t i = 0; i < bytes; ++i)
        if (data[i] != pattern % 251) return false;
    return true;
}

// A block resized through pooled sizes, past the largest pooled block and back keeps
// what fits of its bytes at every step.
TEST(LuaHeap, ResizingKeepsTheBytesThatFit) {
    LuaHeap heap;
    const std::size_t sizes[] = {24, 40, 3000, 200000, 70, 16, 5000, 8};
    std::size_t size = sizes[0];
    void* block = LuaHeap::Reallocate(&heap, nullptr, 0, size);
    ASSERT_NE(block, nullptr);
    Fill(block, size);
    for (const std::size_t next : sizes) {
        SCOPED_TRACE(next);
        block = LuaHeap::Reallocate(&heap, block, size, next);
        ASSERT_NE(block, nullptr);
        EXPECT_TRUE(Holds(block, std::min(size, next), size));
        size = next;
        Fill(block, size);
    }
    EXPECT_EQ(LuaHeap::Reallocate(&heap, block, size, 0), nullptr);
}

class ScriptHeap : public testing::Test {
protected:
    void SetUp() override {
        InitConfigDefaults();
        LuaCreateState();
        L = LuaGetState();
    }
    void TearDown() override { LuaCloseState(); }

    lua_State* L = nullptr;
};

// The engine's state lives on the heap: tables, strings and closures made, grown, shrunk
// and collected over many cycles keep their contents, and the state reopens on a fresh heap.
TEST_F(ScriptHeap, StateRunsAndCollectsOnIt) {
    ASSERT_EQ(luaL_dostring(L, "local sum = 0 for round = 1, 20 do local t = {} "
                               "for i = 1, 2000 do t[i] = {tostring(i * round), function() return i end} end "
                               "for i = 2000, 1, -1 do sum = sum + t[i][2]() + #t[i][1] t[i] = nil end "
                               "collectgarbage() end total = sum"),
              0)
        << lua_tostring(L, -1);
    lua_getglobal(L, "total");
    EXPECT_EQ(lua_tointeger(L, -1), 40192911);
    lua_pop(L, 1);
    LuaCloseState();
    LuaCreateState();
    L = LuaGetState();
    EXPECT_EQ(luaL_dostring(L, "kept = 'again'"), 0);
}

using ScriptHeapDeathTest = ScriptHeap;

// An error outside any protected call ends the process as the auxiliary library's states do.
TEST_F(ScriptHeapDeathTest, UnprotectedErrorPanicsWithTheMessage) {
    EXPECT_EXIT(
        {
            lua_pushstring(L, "no landing");
            lua_error(L);
        },
        testing::ExitedWithCode(EXIT_FAILURE), "PANIC: unprotected error in call to Lua API \\(no landing\\)");
}

}  // namespace
