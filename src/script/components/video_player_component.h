#pragma once
// A video played into a texture and drawn as its sprite "main".
#include <memory>
#include <string>

#include "script/components/visual_component.h"
#include "video/video_handle.h"

class VideoPlayerComponent : public VisualComponent {
public:
    static constexpr const char* kClassName = "VideoPlayerComponent";
    static const MethodEntry<VideoPlayerComponent> methods[];

    VideoPlayerComponent() { id = "video_player"; }
    ~VideoPlayerComponent() override;

    void registerMethods(lua_State* L) override;
    void setup(lua_State* L) override;
    void update(float dt) override;
    void render() override;

    // Opens "<name>.ogv" in place of any video playing, its first frame already shown.
    void openVideo(const std::string& name);
    // False once the clip has ended and shown its last frame.
    bool isPlaying() const;

    Texture* texture = nullptr;  // the handle's
    bool loop = false;
    bool alphaChannel = false;

private:
    void updateSize();

    int luaChangeVideo(lua_State* L);
    int luaIsPlaying(lua_State* L);

    std::unique_ptr<VideoHandle> video_;
};
