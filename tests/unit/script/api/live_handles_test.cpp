// Handles are tokens, not addresses: an object that lands where a freed one lived gets a
// handle of its own, and the freed one's handle reaches nothing.
#include "script/api/live_handles.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct StateCloser {
    void operator()(lua_State* L) const { lua_close(L); }
};

class LiveHandlesTest : public testing::Test {
protected:
    // What the record gives for the handle, passed as a script would pass it.
    template <class T>
    T* Read(const LiveHandles<T>& handles, void* handle) {
        lua_pushlightuserdata(L, handle);
        T* object = handles.read(L, -1);
        lua_pop(L, 1);
        return object;
    }

    std::unique_ptr<lua_State, StateCloser> state_{luaL_newstate()};
    lua_State* L = state_.get();
};

TEST_F(LiveHandlesTest, AnAddressTakenInAgainGetsANewHandle) {
    LiveHandles<int> handles;
    int slot = 0;  // the address both objects live at, as after a free and a new allocation
    void* const first = handles.add(&slot);
    EXPECT_EQ(Read(handles, first), &slot);  // read twice: the second comes from the cache
    EXPECT_EQ(Read(handles, first), &slot);
    EXPECT_TRUE(handles.release(&slot));
    EXPECT_EQ(Read(handles, first), nullptr);
    void* const second = handles.add(&slot);
    EXPECT_NE(second, first);
    EXPECT_NE(second, static_cast<void*>(&slot));
    EXPECT_EQ(Read(handles, first), nullptr) << "the stale handle stays dead";
    EXPECT_EQ(Read(handles, second), &slot);
}

TEST_F(LiveHandlesTest, ReferencesShareAHandleUntilTheLastGoes) {
    LiveHandles<int> handles;
    int object = 0;
    void* const handle = handles.add(&object);
    EXPECT_EQ(handles.add(&object), handle);
    EXPECT_TRUE(handles.release(&object));
    EXPECT_EQ(Read(handles, handle), &object);
    EXPECT_TRUE(handles.release(&object));
    EXPECT_FALSE(handles.release(&object));
    EXPECT_EQ(Read(handles, handle), nullptr);
}

TEST_F(LiveHandlesTest, KindsNeverShareAHandleAndAddressesAreNoHandles) {
    LiveHandles<int> ints;
    LiveHandles<double> doubles;
    int i = 0;
    double d = 0;
    void* const intHandle = ints.add(&i);
    void* const doubleHandle = doubles.add(&d);
    EXPECT_EQ(Read(doubles, intHandle), nullptr);
    EXPECT_EQ(Read(ints, doubleHandle), nullptr);
    EXPECT_EQ(Read(ints, &i), nullptr);
    int released = 0;
    ints.clear([&released](int*) { ++released; });
    EXPECT_EQ(released, 1);
    EXPECT_EQ(Read(ints, intHandle), nullptr);
}

}  // namespace
