#include "script/components/video_player_component.h"

#include "core/log.h"
#include "graphics/sprite_batch.h"
#include "graphics/texture.h"
#include "ogv_video_clip.h"
#include "script/lua_base.h"

const MethodEntry<VideoPlayerComponent> VideoPlayerComponent::methods[] = {
    {"change_video", &VideoPlayerComponent::luaChangeVideo},
    {"is_playing", &VideoPlayerComponent::luaIsPlaying},
    {nullptr, nullptr},
};

VideoPlayerComponent::~VideoPlayerComponent() {
    if (video_) CloseVideoClip(*video_);
}

void VideoPlayerComponent::registerMethods(lua_State* L) {
    VisualComponent::registerMethods(L);
    LuaBinder<VideoPlayerComponent>::registerMethods(L);
}

void VideoPlayerComponent::setup(lua_State* L) {
    VisualComponent::setup(L);
    if (LuaTableIsBoolean(L, "loop")) loop = LuaTableGetBool(L, "loop");
    if (LuaTableIsBoolean(L, "alpha_channel")) alphaChannel = LuaTableGetBool(L, "alpha_channel");
    if (LuaTableIsNumber(L, "width")) width = static_cast<float>(LuaTableGetNumber(L, "width"));
    if (LuaTableIsNumber(L, "height")) height = static_cast<float>(LuaTableGetNumber(L, "height"));
    if (const char* name = LuaTableGetString(L, "video")) openVideo(name);
    if (!texture) VELK_ERROR("VideoPlayerComponent is missing video definition\n");
}

void VideoPlayerComponent::openVideo(const std::string& name) {
    if (!video_) video_ = std::make_unique<VideoHandle>();
    video_->loop = loop;
    video_->alphaPacked = alphaChannel;
    OpenVideoClip(*video_, name + ".ogv");
    UpdateVideoClip(*video_, 0);
    texture = video_->texture;
    updateSize();
}

void VideoPlayerComponent::updateSize() {
    if (!texture) return;
    const SpriteRect sprite = SpriteRectOf(texture, "main");
    width = sprite.width;
    height = sprite.height;
    centerX = sprite.pivotX;
    centerY = sprite.pivotY;
}

bool VideoPlayerComponent::isPlaying() const {
    OgvVideoClip* const clip = video_ ? video_->clip : nullptr;
    return !clip || !clip->isEndOfFile() || clip->getFrameQueue().getFirstAvailableFrame();
}

void VideoPlayerComponent::update(float dt) {
    if (video_) UpdateVideoClip(*video_, dt);
}

void VideoPlayerComponent::render() {
    if (!texture) return;
    updateAbsoluteValues();
    beginRender();
    const Transform t = effectiveTransform();
    DrawSprite(texture, "main", t.x, t.y, 0, t.angle, effectiveAlpha(), t.scale_x, t.scale_y, color, 0, 0, 0, 0);
    endRender();
}

int VideoPlayerComponent::luaChangeVideo(lua_State* L) {
    openVideo(LuaArgString(L));
    return 0;
}

int VideoPlayerComponent::luaIsPlaying(lua_State* L) {
    lua_pushboolean(L, isPlaying());
    return 1;
}
