#pragma once
// A layer or scene drawn once into a render target of the virtual screen size and from
// then on drawn as that one quad.
#include "script/game_class.h"

struct Texture;

class PrerenderedTarget {
public:
    PrerenderedTarget() = default;
    ~PrerenderedTarget() { drop(); }
    PrerenderedTarget(const PrerenderedTarget&) = delete;
    PrerenderedTarget& operator=(const PrerenderedTarget&) = delete;

    bool active() const { return texture_ != nullptr; }
    const Texture* texture() const { return texture_; }
    // Gives up the reference; the texture goes when nothing else holds it.
    void drop();
    // Renders `draw` into a new target (cleared to transparent black) and keeps it;
    // false, and no target, when the target cannot be made or bound.
    template <class Draw>
    bool capture(bool withAlpha, Draw&& draw) {
        drop();
        alpha = 1.0f;
        Texture* target = begin(withAlpha);
        if (!target) return false;
        draw();
        end();
        texture_ = target;
        return true;
    }
    // One quad of the virtual screen size with the owner's transform.
    void draw(const Transform& transform) const;

    float alpha = 1.0f;

private:
    static Texture* begin(bool withAlpha);
    static void end();

    Texture* texture_ = nullptr;
};
