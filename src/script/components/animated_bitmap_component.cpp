#include "script/components/animated_bitmap_component.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/log.h"
#include "core/string_utils.h"
#include "script/components/bitmap_component.h"
#include "script/lua_base.h"

namespace {

// Definition keys that belong to the base classes; every other string key names an animation.
constexpr const char* kReservedKeys[] = {
    "type", "id", "mouse_highlight", "alpha", "color", "blending", "blending_src", "blending_dst",
    "alpha_test_function", "alpha_test_value", "exclude_from_shape", "relative_to", "enabled", "on_kill",
    "x", "y", "z", "angle", "scale", "scale_x", "scale_y",
};

bool IsReservedKey(const char* key) {
    for (const char* reserved : kReservedKeys)
        if (std::strcmp(key, reserved) == 0) return true;
    return false;
}

// A string, or a number's text, of a copy of the value at `index` (a key must not be
// converted in place while a table walk uses it).
std::string TextOf(lua_State* L, int index) {
    const int type = lua_type(L, index);
    if (type != LUA_TSTRING && type != LUA_TNUMBER) return {};
    lua_pushvalue(L, index);
    std::string text = lua_tostring(L, -1);
    lua_pop(L, 1);
    return text;
}

bool IsText(lua_State* L, int index) {
    const int type = lua_type(L, index);
    return type == LUA_TSTRING || type == LUA_TNUMBER;
}

}  // namespace

const MethodEntry<AnimatedBitmapComponent> AnimatedBitmapComponent::methods[] = {
    {"clear_queue", &AnimatedBitmapComponent::luaClearQueue},
    {"queue_animation", &AnimatedBitmapComponent::luaQueueAnimation},
    {"play_animation", &AnimatedBitmapComponent::luaPlayAnimation},
    {"stop_animation", &AnimatedBitmapComponent::luaStopAnimation},
    {"is_animating", &AnimatedBitmapComponent::luaIsAnimating},
    {"queue_size", &AnimatedBitmapComponent::luaQueueSize},
    {nullptr, nullptr},
};

AnimatedBitmapComponent::~AnimatedBitmapComponent() {
    for (const LoadedTexture& loaded : textures_) loaded.texture->refCount -= 1;
}

void AnimatedBitmapComponent::registerMethods(lua_State* L) {
    VisualComponent::registerMethods(L);
    LuaBinder<AnimatedBitmapComponent>::registerMethods(L);
}

void AnimatedBitmapComponent::setup(lua_State* L) {
    VisualComponent::setup(L);
    const int table = lua_gettop(L);
    if (!lua_istable(L, table)) return;
    lua_pushnil(L);
    while (lua_next(L, table)) {
        const std::string key = TextOf(L, -2);
        if (!key.empty() && IsText(L, -1) && !IsReservedKey(key.c_str())) parseAnimation(key, TextOf(L, -1));
        lua_pop(L, 1);
    }
    initSize();
    startAnimation("idle", true);
}

Texture* AnimatedBitmapComponent::textureNamed(const std::string& name) {
    for (const LoadedTexture& loaded : textures_)
        if (loaded.name == name) return loaded.texture;
    Texture* texture = LoadTexture(name);
    textures_.push_back({texture, name});
    return texture;
}

void AnimatedBitmapComponent::parseAnimation(const std::string& name, const std::string& spec) {
    Animation animation{name, 15.0f, false, {}};
    Texture* bitmap = nullptr;
    for (const std::string& piece : SplitString(spec, " ")) {
        float fps = 0;
        char bitmapName[1024];
        if (std::sscanf(piece.c_str(), "fps=%f", &fps) == 1) {
            animation.fps = fps;
        } else if (piece == "ping") {
            animation.ping = true;
        } else if (std::sscanf(piece.c_str(), "bitmap=%1023s", bitmapName) == 1) {
            bitmap = textureNamed(bitmapName);
        } else if (bitmap) {
            animation.frames.push_back({bitmap, piece});
        } else {
            VELK_ERROR("AnimatedBitmap - missing bitmap info for '%s' (%s)\n", name.c_str(), spec.c_str());
        }
    }
    animations_.push_back(std::move(animation));
}

void AnimatedBitmapComponent::initSize() {
    if (animations_.empty()) return;
    const Animation* idle = findAnimation("idle");
    const Animation& first = idle && !idle->frames.empty() ? *idle : animations_.front();
    if (first.frames.empty()) return;
    const SpriteRect sprite = GetSprite(first.frames.front().texture, first.frames.front().sprite.c_str());
    width = sprite.width;
    height = sprite.height;
    centerX = sprite.pivotX;
    centerY = sprite.pivotY;
}

AnimatedBitmapComponent::Animation* AnimatedBitmapComponent::findAnimation(const std::string& name) {
    for (Animation& animation : animations_)
        if (animation.name == name) return &animation;
    return nullptr;
}

void AnimatedBitmapComponent::startAnimation(const std::string& name, bool loop) {
    Animation* animation = findAnimation(name);
    if (!animation || animation->frames.empty()) return;
    time_ = 0;
    current_ = animation;
    loop_ = loop;
    duration_ = static_cast<float>(animation->frames.size()) / animation->fps;
    frame_ = &animation->frames.front();
    ping_ = animation->ping;
    forward_ = true;
}

void AnimatedBitmapComponent::playNextQueued() {
    current_ = nullptr;
    if (queue_.empty()) return;
    const QueuedAnimation next = queue_.front();
    queue_.pop_front();
    startAnimation(next.name, next.loop);
}

void AnimatedBitmapComponent::queueAnimation(const std::string& name, bool loop) { queue_.push_back({name, loop}); }

void AnimatedBitmapComponent::playAnimation(const std::string& name, bool loop) {
    queue_.clear();
    startAnimation(name, loop);
}

void AnimatedBitmapComponent::stopAnimation() {
    queue_.clear();
    current_ = nullptr;
}

void AnimatedBitmapComponent::update(float dt) {
    if (!current_) {
        playNextQueued();
        return;
    }
    const float period = 1.0f / current_->fps;
    time_ = forward_ ? time_ + dt : time_ - dt;
    if (forward_ && time_ > duration_) {
        if (ping_) {
            forward_ = false;
            time_ = time_ - dt - period;
        } else if (loop_) {
            time_ = std::fmod(time_, duration_);
        } else {
            playNextQueued();
        }
    }
    if (!forward_ && time_ < 0) {
        if (loop_) {
            forward_ = true;
            time_ = time_ + dt + period;
        } else {
            playNextQueued();
        }
    }
    if (current_) showFrameAtTime();
}

void AnimatedBitmapComponent::showFrameAtTime() {
    const double index = std::trunc(static_cast<double>(current_->fps) * time_);
    const double last = static_cast<double>(current_->frames.size() - 1);
    // NaN (a zero frame rate) shows the first frame, like a time before the start.
    frame_ = &current_->frames[index > 0 ? static_cast<std::size_t>(std::min(index, last)) : 0];
}

void AnimatedBitmapComponent::render() {
    updateAbsoluteValues();
    if (!frame_) return;
    beginRender();
    if (!frame_->resolved) {
        frame_->rect = SpriteRectOf(frame_->texture, frame_->sprite.c_str());
        frame_->resolved = true;
    }
    DrawComponentSprite(frame_->texture, frame_->rect, effectiveTransform(), effectiveAlpha(), color);
    endRender();
}

int AnimatedBitmapComponent::luaClearQueue(lua_State*) {
    queue_.clear();
    return 0;
}

int AnimatedBitmapComponent::luaQueueAnimation(lua_State* L) {
    queueAnimation(LuaArgString(L), lua_isboolean(L, 3) && lua_toboolean(L, 3));
    return 0;
}

int AnimatedBitmapComponent::luaPlayAnimation(lua_State* L) {
    playAnimation(LuaArgString(L), lua_isboolean(L, 3) && lua_toboolean(L, 3));
    return 0;
}

int AnimatedBitmapComponent::luaStopAnimation(lua_State*) {
    stopAnimation();
    return 0;
}

int AnimatedBitmapComponent::luaIsAnimating(lua_State* L) {
    lua_pushboolean(L, current_ != nullptr);
    return 1;
}

int AnimatedBitmapComponent::luaQueueSize(lua_State* L) {
    lua_pushnumber(L, static_cast<lua_Number>(queue_.size()));
    return 1;
}
