#include "script/game_class.h"

#include <algorithm>
#include <cmath>

#include "core/input.h"
#include "core/string_utils.h"
#include "script/lua_base.h"
#include "script/scene_walk.h"

namespace {

constexpr float kDegreesToRadians = 0.017453292f;

int PushNumbers(lua_State* L, std::initializer_list<float> numbers) {
    for (const float number : numbers) lua_pushnumber(L, number);
    return static_cast<int>(numbers.size());
}

int PushBool(lua_State* L, bool value) {
    lua_pushboolean(L, value);
    return 1;
}

// A looping call without a positive period is due in every frame.
bool IsDue(const ScheduledCall& call) {
    return call.elapsed > call.total_time || (call.loop && call.total_time <= 0);
}

}  // namespace

void ReadInterpolatedField(lua_State* L, const char* key, InterpolatedValue& value) {
    if (LuaTableIsNumber(L, key)) {
        value.setImmediate(static_cast<float>(LuaTableGetNumber(L, key)));
    } else if (const char* spec = LuaTableGetString(L, key)) {
        value.parse(spec);
    }
}

void ReadInterpolatedArg(lua_State* L, int index, InterpolatedValue& value) {
    if (lua_isnumber(L, index)) {
        value.setImmediate(static_cast<float>(lua_tonumber(L, index)));
    } else if (lua_type(L, index) == LUA_TSTRING) {
        value.parse(lua_tostring(L, index));
    }
}

template <InterpolatedValue GameClass::*Value>
int GameClass::luaSetValue(lua_State* L) {
    ReadInterpolatedArg(L, 2, this->*Value);
    return 0;
}

template <InterpolatedValue GameClass::*Value>
int GameClass::luaValue(lua_State* L) {
    return PushNumbers(L, {(this->*Value).value()});
}

template <InterpolatedValue GameClass::*Value>
int GameClass::luaIsInterpolating(lua_State* L) {
    return PushBool(L, (this->*Value).isInterpolating());
}

template <float GameClass::*Field>
int GameClass::luaNumber(lua_State* L) {
    return PushNumbers(L, {this->*Field});
}

const MethodEntry<GameClass> GameClass::methods[] = {
    {"setup", &GameClass::luaSetup},
    {"finalize_setup", &GameClass::luaFinalizeSetup},
    {"set_id", &GameClass::luaSetId},
    {"id", &GameClass::luaId},
    {"set_enabled", &GameClass::luaSetEnabled},
    {"enabled", &GameClass::luaEnabled},
    {"kill", &GameClass::luaKill},
    {"dead", &GameClass::luaDead},
    {"schedule_call", &GameClass::luaScheduleCall},
    {"reschedule_call", &GameClass::luaRescheduleCall},
    {"cancel_scheduled_call", &GameClass::luaCancelScheduledCall},
    {"cancel_all_scheduled_calls", &GameClass::luaCancelAllScheduledCalls},
    {"list_scheduled_calls", &GameClass::luaListScheduledCalls},
    {"mouse_xy", &GameClass::luaMouseXy},
    {"set_x", &GameClass::luaSetValue<&GameClass::x>},
    {"set_y", &GameClass::luaSetValue<&GameClass::y>},
    {"set_z", &GameClass::luaSetZ},
    {"set_xy", &GameClass::luaSetXy},
    {"set_xyz", &GameClass::luaSetXyz},
    {"set_angle", &GameClass::luaSetValue<&GameClass::angle>},
    {"set_scale_x", &GameClass::luaSetValue<&GameClass::scale_x>},
    {"set_scale_y", &GameClass::luaSetValue<&GameClass::scale_y>},
    {"set_scale", &GameClass::luaSetScale},
    {"x", &GameClass::luaValue<&GameClass::x>},
    {"y", &GameClass::luaValue<&GameClass::y>},
    {"z", &GameClass::luaZ},
    {"xy", &GameClass::luaXy},
    {"xyz", &GameClass::luaXyz},
    {"angle", &GameClass::luaValue<&GameClass::angle>},
    {"scale_x", &GameClass::luaValue<&GameClass::scale_x>},
    {"scale_y", &GameClass::luaValue<&GameClass::scale_y>},
    {"x_abs", &GameClass::luaNumber<&GameClass::x_abs>},
    {"y_abs", &GameClass::luaNumber<&GameClass::y_abs>},
    {"xy_abs", &GameClass::luaXyAbs},
    {"xyz_abs", &GameClass::luaXyzAbs},
    {"angle_abs", &GameClass::luaNumber<&GameClass::angle_abs>},
    {"scale_x_abs", &GameClass::luaNumber<&GameClass::scale_x_abs>},
    {"scale_y_abs", &GameClass::luaNumber<&GameClass::scale_y_abs>},
    {"is_x_interpolating", &GameClass::luaIsInterpolating<&GameClass::x>},
    {"is_y_interpolating", &GameClass::luaIsInterpolating<&GameClass::y>},
    {"is_angle_interpolating", &GameClass::luaIsInterpolating<&GameClass::angle>},
    {"is_scale_x_interpolating", &GameClass::luaIsInterpolating<&GameClass::scale_x>},
    {"is_scale_y_interpolating", &GameClass::luaIsInterpolating<&GameClass::scale_y>},
    {nullptr, nullptr},
};

GameClass::~GameClass() { cancelAllScheduledCalls(); }

void GameClass::registerMethods(lua_State* L) { LuaBinder<GameClass>::registerMethods(L); }

void GameClass::setup(lua_State* L) {
    // Texts are read once: a definition with a metatable may answer a check and the read
    // after it differently, and a null text must never reach a string.
    if (const char* text = LuaTableGetString(L, "id")) id = text;
    if (LuaTableIsBoolean(L, "enabled")) enabled = LuaTableGetBool(L, "enabled");
    if (const char* method = LuaTableGetString(L, "on_kill")) {
        onKill.method = method;
        onKill.forward = true;
    }
    if (LuaTableIsNumber(L, "z")) z = static_cast<float>(LuaTableGetNumber(L, "z"));
    ReadInterpolatedField(L, "x", x);
    ReadInterpolatedField(L, "y", y);
    ReadInterpolatedField(L, "angle", angle);
    ReadInterpolatedField(L, "scale_x", scale_x);
    ReadInterpolatedField(L, "scale_y", scale_y);
    ReadInterpolatedField(L, "scale", scale_x);
    ReadInterpolatedField(L, "scale", scale_y);
}

void GameClass::finalizeSetup() {
    if (hasLuaFunction("on_kill")) onKill.bound = true;
    if (hasLuaFunction("on_destroy")) onDestroy.bound = true;
}

void GameClass::updateInterpolators(float dt) {
    x.update(dt);
    y.update(dt);
    angle.update(dt);
    scale_x.update(dt);
    scale_y.update(dt);
}

void GameClass::kill() { dead = true; }

void GameClass::destroy(GameClass* object) {
    object->beforeDestroy();
    delete object;
}

void GameClass::leaveContainer() {
    dead = true;
    leaving = true;
}

Transform GameClass::effectiveTransform() const {
    if (transformParent) return {x_abs, y_abs, angle_abs, scale_x_abs, scale_y_abs};
    return {x.value(), y.value(), angle.value(), scale_x.value(), scale_y.value()};
}

void GameClass::updateAbsoluteValues() {
    if (!transformParent) return;
    const Transform parent = transformParent->effectiveTransform();
    x_abs = x.value() * parent.scale_x;
    y_abs = y.value() * parent.scale_y;
    scale_x_abs = scale_x.value() * parent.scale_x;
    scale_y_abs = scale_y.value() * parent.scale_y;
    // x' = x cos a - y sin a, y' = x sin a + y cos a
    RotatePoint(x_abs, y_abs, -parent.angle * kDegreesToRadians);
    angle_abs = angle.value() + parent.angle;
    x_abs += parent.x;
    y_abs += parent.y;
}

void GameClass::localMousePosition(float mouseX, float mouseY, float& localX, float& localY) const {
    const Transform own = effectiveTransform();
    localX = mouseX - own.x;
    localY = mouseY - own.y;
    RotatePoint(localX, localY, own.angle * kDegreesToRadians);
    localX = std::floor(localX / own.scale_x + 0.5f);
    localY = std::floor(localY / own.scale_y + 0.5f);
}

void GameClass::scheduleCall(const std::string& name, float time, bool loop) {
    scheduledCalls_.push_back(ScheduledCall{0, time, name, loop});
}

void GameClass::rescheduleCall(const std::string& name, float time) {
    if (!(time > 0)) return;
    for (ScheduledCall& call : scheduledCalls_)
        if (call.function_name == name) call.total_time = time;
}

void GameClass::cancelScheduledCall(const std::string& name) {
    for (ScheduledCall& call : scheduledCalls_)
        if (call.function_name == name) call.cancelled = true;
    if (scheduledWalks_ == 0) removeFinishedCalls();
}

void GameClass::cancelAllScheduledCalls() {
    for (ScheduledCall& call : scheduledCalls_) call.cancelled = true;
    if (scheduledWalks_ == 0) scheduledCalls_.clear();
}

void GameClass::removeFinishedCalls() {
    std::erase_if(scheduledCalls_, [](const ScheduledCall& call) { return call.cancelled; });
}

std::vector<ScheduledCall> GameClass::scheduledCalls() const {
    std::vector<ScheduledCall> live;
    std::copy_if(scheduledCalls_.begin(), scheduledCalls_.end(), std::back_inserter(live),
                 [](const ScheduledCall& call) { return !call.cancelled; });
    return live;
}

// Callbacks may schedule, cancel and reschedule calls, or remove the object (its
// deletion waits for the scene walk): the walk goes by index over the calls that
// existed when it began (new ones wait for the next frame), cancelled calls are only
// marked, and the list is compacted by the outermost walk once it is done.
void GameClass::updateScheduledCalls(float dt) {
    if (!isBound() || scheduledCalls_.empty() || !std::isfinite(dt)) return;
    const SceneWalk sceneWalk;
    const OpenWalk walk(closeScheduledWalk, this);
    ++scheduledWalks_;
    const std::size_t count = scheduledCalls_.size();
    for (std::size_t i = 0; i < count && i < scheduledCalls_.size(); ++i) {
        ScheduledCall& call = scheduledCalls_[i];
        if (call.cancelled) continue;
        call.elapsed += dt;
        if (!IsDue(call)) continue;
        if (call.loop) call.elapsed = call.total_time > 0 ? std::fmod(call.elapsed, call.total_time) : 0;
        const bool loop = call.loop;
        if (runScheduledCall(i) || !loop) scheduledCalls_[i].cancelled = true;
    }
}

void GameClass::closeScheduledWalk(void* object) {
    auto& self = *static_cast<GameClass*>(object);
    if (--self.scheduledWalks_ == 0) self.removeFinishedCalls();
}

// Calls the function with the object's table; true when it returned the boolean true.
bool GameClass::runScheduledCall(std::size_t index) {
    lua_State* L = luaState();
    if (!pushFunctionCall(scheduledCalls_[index].function_name.c_str())) return true;
    LuaCallProtected(kMethodCallArguments, 1, "GameClass::updateScheduledCalls", __FILE__, __LINE__);
    const bool done = lua_type(L, -1) == LUA_TBOOLEAN && lua_toboolean(L, -1);
    lua_pop(L, 1);
    return done;
}

// Argument 1: the step; argument 2: the definition table (setup only).
int GameClass::runSetupStep(lua_State* L) {
    const auto* step = static_cast<const SetupStep*>(lua_touserdata(L, 1));
    if (step->finalize) {
        step->object->finalizeSetup();
    } else {
        lua_pushvalue(L, 2);
        step->object->setup(L);
    }
    step->object->updateAbsoluteValues();
    return 0;
}

// Setup reads tables whose metatables can run any script, even one that removes this
// object: deletions wait until the step is done, and an error raised inside it reaches
// the script only once the walk is closed again.
int GameClass::protectedSetupStep(lua_State* L, bool finalize) {
    SetupStep step{this, finalize};
    int status = 0;
    {
        const SceneWalk walk;
        lua_pushcfunction(L, runSetupStep);
        lua_pushlightuserdata(L, &step);
        lua_pushvalue(L, 2);
        status = LuaPcallClosingWalks(L, 2, 0, 0);
    }
    return status == 0 ? 0 : lua_error(L);
}

int GameClass::luaSetup(lua_State* L) { return protectedSetupStep(L, false); }

int GameClass::luaFinalizeSetup(lua_State* L) { return protectedSetupStep(L, true); }

int GameClass::luaSetId(lua_State* L) {
    id = LuaArgString(L);
    return 0;
}

int GameClass::luaId(lua_State* L) {
    lua_pushlstring(L, id.data(), id.size());
    return 1;
}

int GameClass::luaSetEnabled(lua_State* L) {
    enabled = LuaArgBool(L);
    return 0;
}

int GameClass::luaEnabled(lua_State* L) { return PushBool(L, enabled); }

int GameClass::luaKill(lua_State*) {
    kill();
    return 0;
}

int GameClass::luaDead(lua_State* L) { return PushBool(L, dead); }

int GameClass::luaScheduleCall(lua_State* L) {
    const std::string name = LuaArgString(L);
    const float time = LuaArgNumber(L, 3);
    const bool loop = lua_type(L, 4) == LUA_TBOOLEAN && lua_toboolean(L, 4);
    scheduleCall(name, time, loop);
    return 0;
}

int GameClass::luaRescheduleCall(lua_State* L) {
    const std::string name = LuaArgString(L);
    rescheduleCall(name, LuaArgNumber(L, 3));
    return 0;
}

int GameClass::luaCancelScheduledCall(lua_State* L) {
    cancelScheduledCall(LuaArgString(L));
    return 0;
}

int GameClass::luaCancelAllScheduledCalls(lua_State*) {
    cancelAllScheduledCalls();
    return 0;
}

int GameClass::luaListScheduledCalls(lua_State* L) {
    lua_newtable(L);
    int index = 0;
    for (const ScheduledCall& call : scheduledCalls_) {
        if (call.cancelled) continue;
        lua_newtable(L);
        LuaTableSetString(L, "function_name", call.function_name);
        LuaTableSetNumber(L, "time_left", call.total_time - call.elapsed);
        LuaTableSetBool(L, "loop", call.loop);
        LuaTableSetNumber(L, "total_time", call.total_time);
        lua_rawseti(L, -2, ++index);
    }
    return 1;
}

int GameClass::luaMouseXy(lua_State* L) {
    float localX = 0, localY = 0;
    localMousePosition(g_input.mouse.x, g_input.mouse.y, localX, localY);
    return PushNumbers(L, {localX, localY});
}

int GameClass::luaSetZ(lua_State* L) {
    z = LuaArgNumber(L, 2);
    return 0;
}

int GameClass::luaSetXy(lua_State* L) {
    ReadInterpolatedArg(L, 2, x);
    ReadInterpolatedArg(L, 3, y);
    return 0;
}

int GameClass::luaSetXyz(lua_State* L) {
    ReadInterpolatedArg(L, 2, x);
    ReadInterpolatedArg(L, 3, y);
    z = LuaArgNumber(L, 4);
    return 0;
}

int GameClass::luaSetScale(lua_State* L) {
    ReadInterpolatedArg(L, 2, scale_x);
    ReadInterpolatedArg(L, 2, scale_y);
    return 0;
}

int GameClass::luaZ(lua_State* L) { return PushNumbers(L, {z}); }
int GameClass::luaXy(lua_State* L) { return PushNumbers(L, {x.value(), y.value()}); }
int GameClass::luaXyz(lua_State* L) { return PushNumbers(L, {x.value(), y.value(), z}); }
int GameClass::luaXyAbs(lua_State* L) { return PushNumbers(L, {x_abs, y_abs}); }
int GameClass::luaXyzAbs(lua_State* L) { return PushNumbers(L, {x_abs, y_abs, z}); }
