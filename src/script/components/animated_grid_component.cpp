#include "script/components/animated_grid_component.h"

#include <cmath>
#include <cstring>

#include "core/log.h"
#include "core/saturate.h"
#include "core/string_utils.h"
#include "script/lua_base.h"

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kDegreesToRadians = 0.017453292f;

int CountField(lua_State* L, const char* key, int fallback) {
    return LuaTableIsNumber(L, key) ? TruncateToInt(LuaTableGetNumber(L, key)) : fallback;
}

}  // namespace

void AnimatedGridComponent::setup(lua_State* L) {
    BitmapComponent::setup(L);
    const int rowCount = CountField(L, "rows", rows);
    const int columnCount = CountField(L, "columns", columns);
    const char* fx = LuaTableGetString(L, "fx");
    if (fx && std::strcmp(fx, "bend") == 0) {
        effect = kBend;
        bendRange = LuaTableIsNumber(L, "range") ? static_cast<float>(LuaTableGetNumber(L, "range")) : 5.0f;
        bendSpeed = LuaTableIsNumber(L, "speed") ? static_cast<float>(LuaTableGetNumber(L, "speed")) : 3.0f;
    } else if (fx && std::strcmp(fx, "water") == 0) {
        effect = kWater;
    }
    buildGrid(rowCount, columnCount);
}

void AnimatedGridComponent::buildGrid(int rowCount, int columnCount) {
    // Counts come from the script: checked before anything is sized from them.
    const int64_t vertexCount = (int64_t{rowCount} + 1) * (int64_t{columnCount} + 1);
    if (rowCount < 1 || columnCount < 1 || vertexCount > kClientVertexCapacity)
        VELK_ERROR("AnimatedGridComponent: a grid of %d rows and %d columns is refused (at least 1 each, at most %d "
                   "vertices)",
                   rowCount, columnCount, kClientVertexCapacity);
    rows = rowCount;
    columns = columnCount;
    baseVertices.assign(static_cast<std::size_t>(vertexCount), RenderVertex{0, 0, 0, 0xFFFFFFFFu, 0, 0});
    indices.clear();
    indices.reserve(static_cast<std::size_t>(6 * rows * columns));
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < columns; ++j) {
            const int o = i * (columns + 1) + j;
            for (const int index : {o, o + 1, o + columns + 2, o, o + columns + 2, o + columns + 1})
                indices.push_back(static_cast<uint16_t>(index));
        }
    }
    setGridPositions();
    setGridTexCoords();
    currentVertices = baseVertices;
    renderVertices = baseVertices;
}

void AnimatedGridComponent::setGridPositions() {
    const float stepX = width / static_cast<float>(columns), stepY = height / static_cast<float>(rows);
    float y = -centerY;
    for (int i = 0; i <= rows; ++i, y += stepY) {
        float x = -centerX;
        for (int j = 0; j <= columns; ++j, x += stepX) {
            RenderVertex& v = baseVertices[static_cast<std::size_t>(i * (columns + 1) + j)];
            v.x = x;
            v.y = y;
        }
    }
}

void AnimatedGridComponent::setGridTexCoords() {
    const float stepU = 1.0f / static_cast<float>(columns), stepV = 1.0f / static_cast<float>(rows);
    float v = 0;
    for (int i = 0; i <= rows; ++i, v += stepV) {
        float u = 0;
        for (int j = 0; j <= columns; ++j, u += stepU) {
            RenderVertex& vertex = baseVertices[static_cast<std::size_t>(i * (columns + 1) + j)];
            vertex.u = u;
            vertex.v = v;
        }
    }
}

void AnimatedGridComponent::update(float dt) {
    time += dt;
    if (effect == kBend) bend();
    if (effect == kWater) ripple();
}

void AnimatedGridComponent::bend() {
    // A speed of 0 has no swing period: the grid stays as it is rather than turning NaN.
    if (bendSpeed == 0.0f || !std::isfinite(bendSpeed)) return;
    time = std::fmod(time, bendSpeed);
    const float a = std::sin(2.0f * kPi * time / bendSpeed) * bendRange * kDegreesToRadians;
    for (int i = 0; i <= rows; ++i) {
        const float b = a * (1.0f - static_cast<float>(i) / static_cast<float>(rows));
        const float c = std::cos(b), s = std::sin(b);
        for (int j = 0; j <= columns; ++j) {
            const std::size_t k = static_cast<std::size_t>(i * (columns + 1) + j);
            const RenderVertex& base = baseVertices[k];
            currentVertices[k].x = base.x * c - base.y * s;
            currentVertices[k].y = base.x * s + base.y * c;
        }
    }
}

void AnimatedGridComponent::ripple() {
    for (int i = 0; i <= rows; ++i) {
        for (int j = 0; j <= columns; ++j) {
            const std::size_t k = static_cast<std::size_t>(i * (columns + 1) + j);
            const float d = static_cast<float>(i + j), row = static_cast<float>(i);
            currentVertices[k].x = baseVertices[k].x + 4.0f * row * std::cos(2.0f * d + 4.0f * time) / 6.0f;
            currentVertices[k].y = baseVertices[k].y + 4.0f * row * std::sin(d + 4.0f * time) / 5.0f;
        }
    }
}

void AnimatedGridComponent::render() {
    updateAbsoluteValues();
    if (renderVertices.empty()) return;
    const Transform t = effectiveTransform();
    const uint32_t colour = PackARGB(color[0], color[1], color[2], effectiveAlpha());
    const float angle = t.angle * kDegreesToRadians;
    const float c = std::cos(angle), s = std::sin(angle);
    // The grid's 0..1 coordinates land on the sprite's rectangle of the texture.
    const SpriteRect& sprite = drawnSprite();
    const float du = sprite.u1 - sprite.u0, dv = sprite.v1 - sprite.v0;
    for (std::size_t k = 0; k < currentVertices.size(); ++k) {
        const RenderVertex& in = currentVertices[k];
        const float x = t.scale_x * in.x, y = t.scale_y * in.y;
        RenderVertex& out = renderVertices[k];
        out.x = x * c - y * s + t.x;
        out.y = x * s + y * c + t.y;
        out.color = colour;
        out.u = sprite.u0 + in.u * du;
        out.v = sprite.v0 + in.v * dv;
    }
    LetterboxVertices(renderVertices.data(), static_cast<int>(renderVertices.size()));
    FlushBatch(kAllBatchSlots);
    beginRender();
    DrawTriangles(renderVertices.data(), static_cast<int>(renderVertices.size()), indices.data(),
                  static_cast<int>(indices.size()), texture, kAddressWrap, nullptr);
    endRender();
}
