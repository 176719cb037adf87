#include "script/components/script_component.h"

#include "script/scene_walk.h"

void ScriptComponent::finalizeSetup() {
    VisualComponent::finalizeSetup();
    if (hasLuaFunction("on_update")) hasOnUpdate = true;
    if (hasLuaFunction("on_render")) hasOnRender = true;
}

void ScriptComponent::update(float dt) {
    if (!hasOnUpdate) return;
    const SceneWalk walk;  // the script may remove this component or its object
    callLuaFunction("on_update", dt);
}

void ScriptComponent::render() {
    updateAbsoluteValues();
    if (!hasOnRender) return;
    const SceneWalk walk;  // whatever the script removes stays whole until the bracket is closed
    beginRender();
    callLuaFunction("on_render");
    endRender();
}
