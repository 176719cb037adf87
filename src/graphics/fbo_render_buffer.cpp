#include "graphics/fbo_render_buffer.h"

#include "core/log.h"
#include "graphics/render.h"
#include "platform/gl/gl_api.h"

FBORenderBuffer::~FBORenderBuffer() {
    Destroy();
}

bool FBORenderBuffer::Create(int newWidth, int newHeight, bool withDepth, uint32_t texture) {
    const GLFunctions& f = g_gl;
    f.BindTexture(gl::TEXTURE_2D, texture);
    f.TexParameteri(gl::TEXTURE_2D, gl::TEXTURE_WRAP_S, static_cast<gl::Int>(gl::CLAMP_TO_EDGE));
    f.TexParameteri(gl::TEXTURE_2D, gl::TEXTURE_WRAP_T, static_cast<gl::Int>(gl::CLAMP_TO_EDGE));
    f.TexParameteri(gl::TEXTURE_2D, gl::TEXTURE_MIN_FILTER, static_cast<gl::Int>(gl::LINEAR));
    f.TexParameteri(gl::TEXTURE_2D, gl::TEXTURE_MAG_FILTER, static_cast<gl::Int>(gl::LINEAR));
    f.GenFramebuffersEXT(1, &framebuffer_);
    f.BindFramebufferEXT(gl::FRAMEBUFFER, framebuffer_);
    f.FramebufferTexture2DEXT(gl::FRAMEBUFFER, gl::COLOR_ATTACHMENT0, gl::TEXTURE_2D, texture, 0);
    if (withDepth) {
        f.GenRenderbuffersEXT(1, &depthBuffer_);
        f.BindRenderbufferEXT(gl::RENDERBUFFER, depthBuffer_);
        f.RenderbufferStorageEXT(gl::RENDERBUFFER, g_renderer.depth24 ? gl::DEPTH_COMPONENT24 : gl::DEPTH_COMPONENT16,
                                 newWidth, newHeight);
        f.FramebufferRenderbufferEXT(gl::FRAMEBUFFER, gl::DEPTH_ATTACHMENT, gl::RENDERBUFFER, depthBuffer_);
    }
    // A target the driver cannot draw into is refused, not drawn into blindly.
    const gl::Enum status = f.CheckFramebufferStatusEXT(gl::FRAMEBUFFER);
    f.BindFramebufferEXT(gl::FRAMEBUFFER, 0);
    f.BindRenderbufferEXT(gl::RENDERBUFFER, 0);
    f.BindTexture(gl::TEXTURE_2D, 0);
    if (status != gl::FRAMEBUFFER_COMPLETE) {
        VELK_WARNING("FBORenderBuffer: framebuffer %dx%d incomplete (status 0x%X)", newWidth, newHeight, status);
        Destroy();
        return false;
    }
    width = newWidth;
    height = newHeight;
    return true;
}

void FBORenderBuffer::Destroy() {
    const GLFunctions& f = g_gl;
    if (framebuffer_) f.DeleteFramebuffersEXT(1, &framebuffer_);
    if (depthBuffer_) f.DeleteRenderbuffersEXT(1, &depthBuffer_);
    framebuffer_ = depthBuffer_ = 0;
}

void FBORenderBuffer::Bind() const {
    g_gl.BindFramebufferEXT(gl::FRAMEBUFFER, framebuffer_);
}

void FBORenderBuffer::Unbind() {
    // Without the extension the window's framebuffer is the only one.
    if (g_gl.BindFramebufferEXT) g_gl.BindFramebufferEXT(gl::FRAMEBUFFER, 0);
}
