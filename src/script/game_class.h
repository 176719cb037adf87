#pragma once
// The base of every scene-graph object: id, enabled and dead flags, an animated 2D
// transform with its absolute values, the kill and destroy callbacks and the
// scheduled script calls.
#include <lua.hpp>

#include <cstring>
#include <string>
#include <vector>

#include "script/interpolated_value.h"
#include "script/lua_binder.h"
#include "script/lua_bound.h"

struct ScheduledCall {
    float elapsed;
    float total_time;
    std::string function_name;
    bool loop;
    bool cancelled = false;  // cancelled while the list was being walked
};

// A transform as children read it from their parent.
struct Transform {
    float x, y, angle, scale_x, scale_y;
};

// Number or spec string: the field of the definition table on the stack top, or a
// method argument. Anything else leaves the value as it was.
void ReadInterpolatedField(lua_State* L, const char* key, InterpolatedValue& value);
void ReadInterpolatedArg(lua_State* L, int index, InterpolatedValue& value);

class GameClass : public LuaClass {
public:
    static constexpr const char* kClassName = "GameClass";
    static const MethodEntry<GameClass> methods[];

    GameClass() = default;
    ~GameClass() override;

    void registerMethods(lua_State* L) override;
    // Reads the definition table on the stack top.
    virtual void setup(lua_State* L);
    virtual void finalizeSetup();
    virtual void updateInterpolators(float dt);
    virtual void kill();
    // Components fire on_destroy here: by the time ~RootComponent runs, the parts of the
    // concrete component are gone. Objects, layers and scenes do it in their destructors.
    virtual void beforeDestroy() {}
    // beforeDestroy, then the destructor.
    static void destroy(GameClass* object);
    // Taken out of its container: dead, and leaving (see `leaving`).
    void leaveContainer();

    void updateAbsoluteValues();
    // Absolute values with a transform parent, the own values otherwise.
    Transform effectiveTransform() const;
    // A point (virtual screen coordinates) in the object's local space, rounded.
    void localMousePosition(float mouseX, float mouseY, float& x, float& y) const;

    void scheduleCall(const std::string& name, float time, bool loop);
    void rescheduleCall(const std::string& name, float time);
    void cancelScheduledCall(const std::string& name);
    void cancelAllScheduledCalls();
    void updateScheduledCalls(float dt);
    // Live calls only (none cancelled while a walk is running).
    std::vector<ScheduledCall> scheduledCalls() const;

    // The first child whose id equals the text; null when none or the id is null.
    template <class List>
    static auto findChildById(const List& children, const char* id) -> typename List::value_type {
        if (!id) return nullptr;
        for (const auto& child : children)
            if (child->id == id) return child;
        return nullptr;
    }

    // What every frame reads comes first, in as few cache lines as it fits: a scene of
    // thousands of objects outgrows the caches.
    bool enabled = true;
    bool dead = false;
    // Out of its container, or its deletion has begun: it is deleted at the next safe
    // point, keeps its links until then, and takes no new children.
    bool leaving = false;
    float z = 0;
    InterpolatedValue x, y, angle;
    InterpolatedValue scale_x{1}, scale_y{1};
    float x_abs = 0, y_abs = 0, angle_abs = 0, scale_x_abs = 1, scale_y_abs = 1;
    GameClass* transformParent = nullptr;
    std::string id = "game_class";
    ScriptCallback onKill;
    ScriptCallback onDestroy;
    // Children it let go of that still wait in the deletion queue.
    int queuedChildren = 0;

private:
    bool runScheduledCall(std::size_t index);
    void removeFinishedCalls();
    static void closeScheduledWalk(void* object);

    struct SetupStep {
        GameClass* object;
        bool finalize;
    };
    static int runSetupStep(lua_State* L);
    int protectedSetupStep(lua_State* L, bool finalize);

    int luaSetup(lua_State* L);
    int luaFinalizeSetup(lua_State* L);
    int luaSetId(lua_State* L);
    int luaId(lua_State* L);
    int luaSetEnabled(lua_State* L);
    int luaEnabled(lua_State* L);
    int luaKill(lua_State* L);
    int luaDead(lua_State* L);
    int luaScheduleCall(lua_State* L);
    int luaRescheduleCall(lua_State* L);
    int luaCancelScheduledCall(lua_State* L);
    int luaCancelAllScheduledCalls(lua_State* L);
    int luaListScheduledCalls(lua_State* L);
    int luaMouseXy(lua_State* L);
    int luaSetZ(lua_State* L);
    int luaSetXy(lua_State* L);
    int luaSetXyz(lua_State* L);
    int luaSetScale(lua_State* L);
    int luaZ(lua_State* L);
    int luaXy(lua_State* L);
    int luaXyz(lua_State* L);
    int luaXyAbs(lua_State* L);
    int luaXyzAbs(lua_State* L);
    template <InterpolatedValue GameClass::*Value>
    int luaSetValue(lua_State* L);
    template <InterpolatedValue GameClass::*Value>
    int luaValue(lua_State* L);
    template <InterpolatedValue GameClass::*Value>
    int luaIsInterpolating(lua_State* L);
    template <float GameClass::*Field>
    int luaNumber(lua_State* L);

    std::vector<ScheduledCall> scheduledCalls_;
    // Running walks of the scheduled calls (callbacks may start nested ones).
    int scheduledWalks_ = 0;
};
