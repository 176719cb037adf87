#pragma once
// The base of the hit-test shapes: auto fit and pass through, and what the input and
// hover passes ask of a shape.
#include "script/scene/root_component.h"

class ShapeComponent : public RootComponent {
public:
    static constexpr const char* kClassName = "ShapeComponent";
    static const MethodEntry<ShapeComponent> methods[];

    ShapeComponent() = default;
    ~ShapeComponent() override;

    void registerMethods(lua_State* L) override;
    // The keys every shape reads: the component's own, then "pass_through".
    void setup(lua_State* L) override;
    void prepare() override { fitToOwner(); }
    // Also becomes the owner's shape, replacing any shape attached before.
    void attachTo(GameObject* object) override;

    virtual bool isPointInside(float x, float y) = 0;
    virtual void fitToOwner() = 0;
    bool isPassThrough() const { return passThrough; }

    bool autoFit = true;
    bool passThrough = false;

protected:
    static constexpr float kOverlayAlpha = 0.3f;
    static constexpr float kWhite[3] = {1, 1, 1};

    // The developer overlay shows while F5 is held in dev_mode.
    static bool overlayShown();
    // Red while the owner is hovered, else the shape's own colour.
    const float* overlayColor(const float* idle) const;
    // A translucent quad over exactly the box the shape tests.
    void drawBoxOverlay(float x0, float y0, float x1, float y1, const float* idle);

private:
    int luaPointInside(lua_State* L);
    int luaIsPassThrough(lua_State* L);
    int luaSetPassThrough(lua_State* L);
};
