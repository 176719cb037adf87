#pragma once
// The OpenGL calls the renderer makes, as entry points fetched at run time from the
// current context, with the few types and enum values they take. Main thread only.
//   g_gl                  the entry points; a missing one is null
//   LoadGLCoreFunctions   fetches the OpenGL 1.1 calls (false when one is missing)
//   GL_LoadExtensions     fetches the blend equation and the framebuffer-object calls
//   GL_GetExtensionProc   an entry point of an extension the context offers, else null
//   GLHasFramebufferObjects  whether every framebuffer-object call was found
#include <cstdint>

namespace gl {

using Enum = unsigned int;
using Uint = unsigned int;
using Int = int;
using Sizei = int;
using Float = float;
using Double = double;
using Boolean = unsigned char;
using Bitfield = unsigned int;

inline constexpr Enum NO_ERROR = 0;
inline constexpr Enum INVALID_ENUM = 0x0500;
inline constexpr Enum INVALID_VALUE = 0x0501;
inline constexpr Enum INVALID_OPERATION = 0x0502;
inline constexpr Enum STACK_OVERFLOW = 0x0503;
inline constexpr Enum STACK_UNDERFLOW = 0x0504;
inline constexpr Enum OUT_OF_MEMORY = 0x0505;
inline constexpr Enum INVALID_FRAMEBUFFER_OPERATION = 0x0506;

inline constexpr Enum VENDOR = 0x1F00;
inline constexpr Enum RENDERER = 0x1F01;
inline constexpr Enum VERSION = 0x1F02;

inline constexpr Enum FALSE_ = 0;
inline constexpr Enum TRUE_ = 1;

inline constexpr Enum TEXTURE_2D = 0x0DE1;
inline constexpr Enum BLEND = 0x0BE2;
inline constexpr Enum ALPHA_TEST = 0x0BC0;
inline constexpr Enum DEPTH_TEST = 0x0B71;
inline constexpr Enum CULL_FACE = 0x0B44;

inline constexpr Enum ZERO = 0;
inline constexpr Enum ONE = 1;
inline constexpr Enum SRC_COLOR = 0x0300;
inline constexpr Enum ONE_MINUS_SRC_COLOR = 0x0301;
inline constexpr Enum SRC_ALPHA = 0x0302;
inline constexpr Enum ONE_MINUS_SRC_ALPHA = 0x0303;
inline constexpr Enum DST_ALPHA = 0x0304;
inline constexpr Enum ONE_MINUS_DST_ALPHA = 0x0305;
inline constexpr Enum DST_COLOR = 0x0306;
inline constexpr Enum ONE_MINUS_DST_COLOR = 0x0307;
inline constexpr Enum FUNC_ADD = 0x8006;
inline constexpr Enum MIN = 0x8007;
inline constexpr Enum MAX = 0x8008;
inline constexpr Enum FUNC_SUBTRACT = 0x800A;
inline constexpr Enum FUNC_REVERSE_SUBTRACT = 0x800B;

inline constexpr Enum NEVER = 0x0200;
inline constexpr Enum LEQUAL = 0x0203;

inline constexpr Enum CW = 0x0900;
inline constexpr Enum CCW = 0x0901;
inline constexpr Enum FRONT = 0x0404;
inline constexpr Enum BACK = 0x0405;

inline constexpr Enum PROJECTION = 0x1701;
inline constexpr Enum MODELVIEW = 0x1700;

inline constexpr Bitfield DEPTH_BUFFER_BIT = 0x0100;
inline constexpr Bitfield COLOR_BUFFER_BIT = 0x4000;

inline constexpr Enum UNSIGNED_BYTE = 0x1401;
inline constexpr Enum UNSIGNED_SHORT = 0x1403;
inline constexpr Enum FLOAT = 0x1406;
inline constexpr Enum UNSIGNED_SHORT_4_4_4_4 = 0x8033;
inline constexpr Enum UNSIGNED_SHORT_5_6_5 = 0x8363;
inline constexpr Enum RGB = 0x1907;
inline constexpr Enum RGBA = 0x1908;
inline constexpr Enum BGRA = 0x80E1;
inline constexpr Enum RGBA4 = 0x8056;
inline constexpr Enum RGB5 = 0x8050;
inline constexpr Enum DEPTH_COMPONENT16 = 0x81A5;
inline constexpr Enum DEPTH_COMPONENT24 = 0x81A6;

inline constexpr Enum TEXTURE_MAG_FILTER = 0x2800;
inline constexpr Enum TEXTURE_MIN_FILTER = 0x2801;
inline constexpr Enum TEXTURE_WRAP_S = 0x2802;
inline constexpr Enum TEXTURE_WRAP_T = 0x2803;
inline constexpr Enum TEXTURE_BORDER_COLOR = 0x1004;
inline constexpr Enum LINEAR = 0x2601;
inline constexpr Enum REPEAT = 0x2901;
inline constexpr Enum CLAMP_TO_BORDER = 0x812D;
inline constexpr Enum CLAMP_TO_EDGE = 0x812F;
inline constexpr Enum MIRRORED_REPEAT = 0x8370;

inline constexpr Enum UNPACK_ALIGNMENT = 0x0CF5;
inline constexpr Enum MAX_TEXTURE_SIZE = 0x0D33;
inline constexpr Enum PACK_ALIGNMENT = 0x0D05;

inline constexpr Enum VERTEX_ARRAY = 0x8074;
inline constexpr Enum COLOR_ARRAY = 0x8076;
inline constexpr Enum TEXTURE_COORD_ARRAY = 0x8078;
inline constexpr Enum TRIANGLES = 0x0004;

inline constexpr Enum FRAMEBUFFER = 0x8D40;
inline constexpr Enum RENDERBUFFER = 0x8D41;
inline constexpr Enum COLOR_ATTACHMENT0 = 0x8CE0;
inline constexpr Enum DEPTH_ATTACHMENT = 0x8D00;
inline constexpr Enum FRAMEBUFFER_COMPLETE = 0x8CD5;

}  // namespace gl


struct GLFunctions {
    // OpenGL 1.1
    gl::Enum(*GetError)();
    void(*GetIntegerv)(gl::Enum, gl::Int*);
    const unsigned char*(*GetString)(gl::Enum);
    void(*Enable)(gl::Enum);
    void(*Disable)(gl::Enum);
    void(*BlendFunc)(gl::Enum, gl::Enum);
    void(*ColorMask)(gl::Boolean, gl::Boolean, gl::Boolean, gl::Boolean);
    void(*AlphaFunc)(gl::Enum, gl::Float);
    void(*DepthFunc)(gl::Enum);
    void(*DepthMask)(gl::Boolean);
    void(*CullFace)(gl::Enum);
    void(*FrontFace)(gl::Enum);
    void(*Viewport)(gl::Int, gl::Int, gl::Sizei, gl::Sizei);
    void(*MatrixMode)(gl::Enum);
    void(*LoadIdentity)();
    void(*LoadMatrixf)(const gl::Float*);
    void(*ClearColor)(gl::Float, gl::Float, gl::Float, gl::Float);
    void(*ClearDepth)(gl::Double);
    void(*Clear)(gl::Bitfield);
    void(*GenTextures)(gl::Sizei, gl::Uint*);
    void(*DeleteTextures)(gl::Sizei, const gl::Uint*);
    void(*BindTexture)(gl::Enum, gl::Uint);
    void(*TexParameteri)(gl::Enum, gl::Enum, gl::Int);
    void(*TexParameterfv)(gl::Enum, gl::Enum, const gl::Float*);
    void(*TexImage2D)(gl::Enum, gl::Int, gl::Int, gl::Sizei, gl::Sizei, gl::Int, gl::Enum, gl::Enum,
                                   const void*);
    void(*TexSubImage2D)(gl::Enum, gl::Int, gl::Int, gl::Int, gl::Sizei, gl::Sizei, gl::Enum, gl::Enum,
                                      const void*);
    void(*PixelStorei)(gl::Enum, gl::Int);
    void(*EnableClientState)(gl::Enum);
    void(*VertexPointer)(gl::Int, gl::Enum, gl::Sizei, const void*);
    void(*ColorPointer)(gl::Int, gl::Enum, gl::Sizei, const void*);
    void(*TexCoordPointer)(gl::Int, gl::Enum, gl::Sizei, const void*);
    void(*DrawElements)(gl::Enum, gl::Sizei, gl::Enum, const void*);
    void(*ReadPixels)(gl::Int, gl::Int, gl::Sizei, gl::Sizei, gl::Enum, gl::Enum, void*);
    void(*Finish)();
    // Beyond 1.1: null when the context lacks them.
    void(*BlendEquation)(gl::Enum);
    void(*GenFramebuffersEXT)(gl::Sizei, gl::Uint*);
    void(*DeleteFramebuffersEXT)(gl::Sizei, const gl::Uint*);
    void(*BindFramebufferEXT)(gl::Enum, gl::Uint);
    void(*FramebufferTexture2DEXT)(gl::Enum, gl::Enum, gl::Enum, gl::Uint, gl::Int);
    gl::Enum(*CheckFramebufferStatusEXT)(gl::Enum);
    void(*GenRenderbuffersEXT)(gl::Sizei, gl::Uint*);
    void(*DeleteRenderbuffersEXT)(gl::Sizei, const gl::Uint*);
    void(*BindRenderbufferEXT)(gl::Enum, gl::Uint);
    void(*RenderbufferStorageEXT)(gl::Enum, gl::Enum, gl::Sizei, gl::Sizei);
    void(*FramebufferRenderbufferEXT)(gl::Enum, gl::Enum, gl::Enum, gl::Uint);
};

extern GLFunctions g_gl;

bool LoadGLCoreFunctions();
void GL_LoadExtensions();
void* GL_GetExtensionProc(const char* extension, const char* entryPoint);
// Whether the framebuffer-object calls were all found.
bool GLHasFramebufferObjects();
