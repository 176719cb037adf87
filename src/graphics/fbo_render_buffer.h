#pragma once
// A render target on the OpenGL back end: a framebuffer object drawing into a texture,
// with a depth renderbuffer when asked for. Needs the framebuffer-object entry points.
//   Create   attaches the texture (and depth); false when the framebuffer is incomplete
//   Bind     draws into it from now on
//   Unbind   draws into the window again
#include <cstdint>

class FBORenderBuffer {
public:
    FBORenderBuffer() = default;
    ~FBORenderBuffer();
    FBORenderBuffer(const FBORenderBuffer&) = delete;
    FBORenderBuffer& operator=(const FBORenderBuffer&) = delete;

    bool Create(int width, int height, bool withDepth, uint32_t texture);
    void Bind() const;
    static void Unbind();

    int width = 0, height = 0;

private:
    void Destroy();

    uint32_t framebuffer_ = 0;
    uint32_t depthBuffer_ = 0;  // 0 when none
};
