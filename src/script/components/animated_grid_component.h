#pragma once
// A bitmap drawn as a grid of triangles whose vertices sway ("bend") or ripple ("water").
#include <cstdint>
#include <vector>

#include "graphics/sprite_batch.h"
#include "script/components/bitmap_component.h"

class AnimatedGridComponent : public BitmapComponent {
public:
    static constexpr const char* kClassName = "AnimatedGridComponent";

    enum Effect { kNoEffect = 0, kBend = 1, kWater = 2 };

    AnimatedGridComponent() { id = "animated_grid"; }

    void setup(lua_State* L) override;
    void update(float dt) override;
    void render() override;

    // Fatal for fewer than one row or column, or more vertices than one draw takes.
    void buildGrid(int rowCount, int columnCount);
    void setGridPositions();
    void setGridTexCoords();

    int rows = 3, columns = 1;
    float time = 0;
    int effect = kNoEffect;
    float bendRange = 5.0f, bendSpeed = 3.0f;
    std::vector<RenderVertex> baseVertices, currentVertices, renderVertices;
    std::vector<uint16_t> indices;

private:
    void bend();
    void ripple();
};
