#pragma once
// A fresh script state with the flat API registered, and a way to run script text and
// read back what it returns.
#include <gtest/gtest.h>

#include <string>

#include "fixtures/engine_frame.h"
#include "script/api/lua_api.h"
#include "script/lua_base.h"

class ApiTest : public testing::Test {
protected:
    void SetUp() override {
        StartEngineFrameTest();
        L = LuaGetState();
        RegisterLuaApi();
    }
    void TearDown() override { EndEngineFrameTest(); }

    // Runs the code; "" when it ran, else the error message.
    std::string Run(const std::string& code) {
        if (luaL_dostring(L, code.c_str()) == 0) return "";
        std::string message = lua_tostring(L, -1) ? lua_tostring(L, -1) : "(no message)";
        lua_pop(L, 1);
        return message;
    }
    // The expression's value as tostring gives it, or "error: " and the message.
    std::string Eval(const std::string& expression) {
        const std::string error = Run("result_ = tostring(" + expression + ")");
        if (!error.empty()) return "error: " + error;
        lua_getglobal(L, "result_");
        std::string text(lua_tostring(L, -1));
        lua_pop(L, 1);
        return text;
    }

    lua_State* L = nullptr;
};
