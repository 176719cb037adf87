#pragma once
// Named frame animations over sprites of one or more textures, with a frame rate,
// ping-pong and looping, and a queue of animations to play next.
#include <deque>
#include <string>
#include <vector>

#include "graphics/texture.h"
#include "script/components/visual_component.h"

class AnimatedBitmapComponent : public VisualComponent {
public:
    static constexpr const char* kClassName = "AnimatedBitmapComponent";
    static const MethodEntry<AnimatedBitmapComponent> methods[];

    struct Frame {
        Texture* texture;
        std::string sprite;
        // Resolved on the frame's first draw: the uncropped sprite.
        SpriteRect rect{};
        bool resolved = false;
    };
    struct Animation {
        std::string name;
        float fps = 15.0f;
        bool ping = false;
        std::vector<Frame> frames;
    };
    struct QueuedAnimation {
        std::string name;
        bool loop;
    };

    AnimatedBitmapComponent() { id = "animated_bitmap"; }
    ~AnimatedBitmapComponent() override;

    void registerMethods(lua_State* L) override;
    void setup(lua_State* L) override;
    void update(float dt) override;
    void render() override;

    void parseAnimation(const std::string& name, const std::string& spec);
    void initSize();
    // An unknown name, or an animation without frames, changes nothing.
    void startAnimation(const std::string& name, bool loop);
    void playNextQueued();
    void queueAnimation(const std::string& name, bool loop);
    void playAnimation(const std::string& name, bool loop);
    void stopAnimation();

    const Animation* currentAnimation() const { return current_; }
    const Frame* currentFrame() const { return frame_; }
    std::size_t queueSize() const { return queue_.size(); }
    float time() const { return time_; }

private:
    struct LoadedTexture {
        Texture* texture;
        std::string name;
    };

    Texture* textureNamed(const std::string& name);
    Animation* findAnimation(const std::string& name);
    void showFrameAtTime();

    int luaClearQueue(lua_State* L);
    int luaQueueAnimation(lua_State* L);
    int luaPlayAnimation(lua_State* L);
    int luaStopAnimation(lua_State* L);
    int luaIsAnimating(lua_State* L);
    int luaQueueSize(lua_State* L);

    std::vector<LoadedTexture> textures_;
    // A deque: a second setup appends without moving the animation being played.
    std::deque<Animation> animations_;
    std::deque<QueuedAnimation> queue_;
    Animation* current_ = nullptr;
    Frame* frame_ = nullptr;
    float time_ = 0;
    float duration_ = 0;
    bool loop_ = false;
    bool ping_ = false;
    bool forward_ = true;
};
