#pragma once
// Lets the object's script draw: calls the component's own on_update and on_render, the
// latter inside the component's render-state bracket. Draws nothing itself.
#include "script/components/visual_component.h"

class ScriptComponent : public VisualComponent {
public:
    static constexpr const char* kClassName = "ScriptComponent";

    ScriptComponent() { id = "script"; }

    void finalizeSetup() override;
    void update(float dt) override;
    void render() override;

    bool hasOnUpdate = false, hasOnRender = false;
};
