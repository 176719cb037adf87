#include "graphics/texture.h"

#include <algorithm>
#include <cinttypes>

#include "core/config.h"
#include "core/log.h"
#include "core/string_utils.h"
#include "graphics/image_files.h"
#include "graphics/image_loader.h"
#include "graphics/render.h"
#include "graphics/render_d3d.h"
#include "graphics/render_gl.h"
#include "graphics/render_target.h"
#include "graphics/sprite_batch.h"
#include "graphics/sprite_sheet.h"
#include "graphics/surface.h"
#include "platform/linux/message_box.h"
#include "storage/storage_path.h"

namespace {

constexpr const char* kExtensionsInOrder[] = {"dds", "png", "jpg", "tga", "bmp"};

struct Registry {
    std::vector<TexturePtr> textures;                  // creation order
    std::unordered_map<std::string, Texture*> byName;  // image textures
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

struct PendingCrop {
    int x = 0, y = 0, width = 0, height = 0;
    bool pending = false;
} g_crop;

void SetMainSprite(Texture* texture, int pivotX, int pivotY) {
    texture->sprites.clear();
    texture->spriteIndex.clear();
    texture->sprites.push_back({"main", 0, 0, texture->imageWidth, texture->imageHeight, pivotX, pivotY});
}

void RebuildSpriteIndex(const Texture* texture) {
    texture->spriteIndex.clear();
    texture->lastSprite = SIZE_MAX;
    // A repeated name keeps its first entry, as a front-to-back search would.
    for (std::size_t i = 0; i < texture->sprites.size(); ++i) texture->spriteIndex.try_emplace(texture->sprites[i].name, i);
}

// One level, 16-bit textures 2 bytes a pixel, else 4 with alpha and 3 without; Direct3D
// counts compressed sizes when asked to.
int CountMemory(const Texture* t) {
    if (g_renderer.texForceDxt && !g_renderer.opengl) {
        const int64_t w = (t->width + 3) / 4 * 4, h = (t->height + 3) / 4 * 4;
        return static_cast<int>(t->hasAlpha ? w * h : w * h / 2);
    }
    const int64_t bytes = g_renderer.tex16bit ? 2 : (t->hasAlpha ? 4 : 3);
    return static_cast<int>(int64_t{t->width} * t->height * bytes);
}

void TakeDeviceSize(Texture* t) {
    D3DSURFACE_DESC desc{};
    if (t->deviceTexture && SUCCEEDED(t->deviceTexture->GetLevelDesc(0, &desc))) {
        t->width = static_cast<int>(desc.Width);
        t->height = static_cast<int>(desc.Height);
    }
}

void CountAllocated(Texture* t) {
    t->memoryBytes = CountMemory(t);
    g_renderer.statistics.texturesAllocated += 1;
    g_renderer.statistics.textureBytes += t->memoryBytes;
}

void ForgetBoundTexture() {
    if (g_renderer.opengl) GL_BindTexture(0, kAddressClamp);
    else if (IDirect3DDevice9* device = D3D_Device()) device->SetTexture(0, nullptr);
    g_renderer.currentTexture = nullptr;
}

// Unbinds the texture first so the device never samples a released one.
void ReleaseDeviceObjects(Texture* t) {
    if (g_renderer.currentTexture == t) ForgetBoundTexture();
    if (DeviceHandle(t)) {
        g_renderer.statistics.texturesAllocated -= 1;
        g_renderer.statistics.textureBytes -= t->memoryBytes;
    }
    if (t->deviceTexture) {
        t->deviceTexture->Release();
        t->deviceTexture = nullptr;
    }
    if (t->renderTarget) {
        t->renderTarget->Release();
        t->renderTarget = nullptr;
    }
    // The framebuffer goes before the texture it draws into.
    t->glRenderTarget.reset();
    GL_DeleteTexture(t->glTexture);
    t->glTexture = 0;
    t->memoryBytes = 0;
}

void LoadAlphaFile(Surface& image, const std::string& fileName) {
    const std::string alphaName = RemoveExtension(fileName) + "_alpha.png";
    if (StoredFileExists(alphaName)) {
        Surface alpha;
        LoadSurfaceFromFile(alpha, alphaName);
        if (alpha.width != image.width || alpha.height != image.height)
            VELK_ERROR("Sizes of bitmap <%s> and its alpha file <%s> must be the same.", fileName.c_str(),
                       alphaName.c_str());
        CopyAlphaFrom(image, alpha);
    }
    // Without an alpha file the alpha bytes already say opaque (or carry a grey image's grey).
    image.hasAlpha = true;
}

bool CreateTextureFromSurface(Texture* t, const Surface& surface) {
    if (g_renderer.opengl) t->glTexture = GL_CreateTextureFromSurface(surface);
    else t->deviceTexture = D3D_CreateTextureFromSurface(surface);
    return DeviceHandle(t) != 0;
}

int DeviceMaxTextureSide() { return g_renderer.opengl ? GL_MaxTextureSide() : D3D_MaxTextureSide(); }

// Pads to powers of two when asked; the texture's size becomes what was requested, then
// what the device reports. False when the device does not take it.
bool CreateDeviceTexture(Texture* t, const Surface& image) {
    t->width = image.width;
    t->height = image.height;
    const bool pad = g_renderer.texForcePowerOf2 && NextPowerOfTwo(t->width, t->height);
    const int limit = DeviceMaxTextureSide();
    if (limit > 0 && (t->width > limit || t->height > limit)) return false;
    if (pad) {
        const auto padded = NewPaddedCopy(image, t->width, t->height);
        ExtendEdges(image.width, padded->pixels, t->width, image.height, t->height);
        return CreateTextureFromSurface(t, *padded);
    }
    return CreateTextureFromSurface(t, image);
}

void LoadTextureImage(Texture* t, const std::string& fileName) {
    t->formatIndex = ImageFormatFromExtension(GetExtension(fileName));
    if (t->formatIndex == kFormatNone) VELK_ERROR("Unknown texture format in <%s>", fileName.c_str());
    Surface image;
    LoadSurfaceFromFile(image, fileName);
    if (!image.hasAlpha) LoadAlphaFile(image, fileName);
    t->hasAlpha = image.hasAlpha;
    t->imageWidth = image.width;
    t->imageHeight = image.height;
    t->isRenderTarget = false;
    t->name = fileName;
    if (!CreateDeviceTexture(t, image)) {
        const int limit = DeviceMaxTextureSide();
        VELK_WARNING("Texture <%s>: the device refused %dx%d pixels (%dx%d on the device, at most %dx%d); it draws "
                     "nothing",
                     fileName.c_str(), image.width, image.height, t->width, t->height, limit, limit);
        return;
    }
    TakeDeviceSize(t);
    CountAllocated(t);
}

// The stored file a texture name stands for (a name without extension tries the image
// extensions in order); empty when storage has none.
std::string FindTextureFile(const std::string& name) {
    if (!GetExtension(name).empty()) return StoredFileExists(name) ? name : std::string();
    for (const char* extension : kExtensionsInOrder) {
        const std::string candidate = name + "." + extension;
        if (StoredFileExists(candidate)) return candidate;
    }
    return {};
}

std::string ResolveTextureName(const std::string& name) {
    if (!GetExtension(name).empty()) return name;
    std::string found = FindTextureFile(name);
    if (found.empty()) VELK_ERROR("Can't find texture '%s'", name.c_str());
    return found;
}

// OpenGL gets power-of-two sides always; a target's framebuffer is made at that size.
bool CreateBlankGLObjects(Texture* t, int width, int height) {
    NextPowerOfTwo(width, height);
    t->glTexture = GL_CreateBlankTexture(width, height, t->hasAlpha, t->isRenderTarget, t->fullColour);
    if (!t->glTexture) return false;
    t->width = width;
    t->height = height;
    CountAllocated(t);
    if (!t->isRenderTarget) return true;
    t->glRenderTarget = GL_CreateRenderTarget(width, height, t->hasDepth, t->glTexture);
    return t->glRenderTarget != nullptr;
}

// The device objects of a blank texture from its recorded flags and size.
bool CreateBlankDeviceObjects(Texture* t, int width, int height) {
    if (g_renderer.opengl) return CreateBlankGLObjects(t, width, height);
    t->deviceTexture = D3D_CreateBlankTexture(width, height, t->hasAlpha, t->dynamic, t->fullColour, t->isRenderTarget);
    if (!t->deviceTexture) return false;
    static uint32_t generations = 0;
    t->deviceGeneration = ++generations;
    // Counted at once, so releasing after a failed render target balances the statistics.
    TakeDeviceSize(t);
    CountAllocated(t);
    if (!t->isRenderTarget) return true;
    const D3DFORMAT depth = !t->hasDepth ? D3DFMT_UNKNOWN : g_renderer.depth24 ? D3DFMT_D24X8 : D3DFMT_D16;
    t->renderTarget = D3D_CreateRenderTarget(t->deviceTexture, depth);
    return t->renderTarget != nullptr;
}

Texture* Register(TexturePtr texture) {
    Registry& registry = TheRegistry();
    Texture* t = texture.get();
    if (!t->name.empty()) registry.byName[t->name] = t;
    registry.textures.push_back(std::move(texture));
    return t;
}

void Forget(Texture* t) {
    Registry& registry = TheRegistry();
    const auto named = registry.byName.find(t->name);
    if (named != registry.byName.end() && named->second == t) registry.byName.erase(named);
}

const Sprite& SpriteOrFail(const Texture* texture, const char* spriteName) {
    const Sprite* sprite = FindSprite(texture, spriteName ? spriteName : "");
    if (!sprite) VELK_ERROR("Missing sprite <%s> in texture <%s>", spriteName ? spriteName : "", texture->name.c_str());
    return *sprite;
}

// Texture coordinates of a rectangle on the device texture, size and pivot in drawing units.
SpriteRect RectOnTexture(const Texture* texture, const Sprite& sprite, float x, float y, float w, float h) {
    const float tw = static_cast<float>(texture->width), th = static_cast<float>(texture->height);
    const float scale = texture->scale;
    return {x / tw, y / th, (x + w) / tw, (y + h) / th, w / scale, h / scale,
            static_cast<float>(sprite.pivotX) / scale, static_cast<float>(sprite.pivotY) / scale};
}

}  // namespace

uintptr_t DeviceHandle(const Texture* texture) {
    if (!texture) return 0;
    return texture->glTexture ? texture->glTexture : reinterpret_cast<uintptr_t>(texture->deviceTexture);
}

bool HasRenderTarget(const Texture* texture) {
    return texture && (texture->renderTarget || texture->glRenderTarget);
}

void TextureDeleter::operator()(Texture* texture) const {
    ReleaseDeviceObjects(texture);
    delete texture;
}

int ImageFormatFromExtension(const std::string& extension) {
    const std::string lower = ToLower(extension);
    for (int i = 0; i < 5; ++i)
        if (lower == kExtensionsInOrder[i]) return i;
    return kFormatNone;
}

bool TextureExists(const std::string& name) { return !FindTextureFile(NormalizePath(name)).empty(); }

Texture* LoadTexture(const std::string& name) {
    const std::string resolved = ResolveTextureName(NormalizePath(name));
    Registry& registry = TheRegistry();
    if (const auto found = registry.byName.find(resolved); found != registry.byName.end()) {
        found->second->refCount += 1;
        return found->second;
    }
    TexturePtr texture(new Texture());
    LoadTextureImage(texture.get(), resolved);
    const std::string sheet = RemoveExtension(resolved) + ".txt";
    if (StoredFileExists(sheet))
        LoadSpriteSheet(texture.get(), sheet);
    else
        SetMainSprite(texture.get(), texture->imageWidth / 2, texture->imageHeight / 2);
    texture->refCount += 1;
    return Register(std::move(texture));
}

Texture* CreateBlankTexture(int width, int height, int pivotX, int pivotY, bool alpha, bool depth, bool renderTarget,
                            bool dynamic, bool fullColour) {
    TexturePtr t(new Texture());
    t->imageWidth = width;
    t->imageHeight = height;
    t->hasAlpha = alpha;
    t->hasDepth = depth;
    t->isRenderTarget = renderTarget;
    t->dynamic = dynamic;
    t->fullColour = fullColour;
    t->formatIndex = kFormatNone;
    if (width < 1 || height < 1 || !CreateBlankDeviceObjects(t.get(), width, height)) return nullptr;
    LogPrintf("Created blank texture at [%" PRIXPTR "], %dx%d pixels %s", DeviceHandle(t.get()),
              t->width, t->height, alpha ? "+alpha" : "");
    SetMainSprite(t.get(), pivotX, pivotY);
    t->refCount = 1;
    return Register(std::move(t));
}

const Sprite* FindSprite(const Texture* texture, std::string_view name) {
    // Whatever changes the list clears the index; a repeated name makes it shorter than the list.
    if (texture->spriteIndex.empty() && !texture->sprites.empty()) RebuildSpriteIndex(texture);
    const std::size_t last = texture->lastSprite;
    if (last < texture->sprites.size() && texture->sprites[last].name == name) return &texture->sprites[last];
    const auto found = texture->spriteIndex.find(name);
    if (found == texture->spriteIndex.end()) return nullptr;
    texture->lastSprite = found->second;
    return &texture->sprites[found->second];
}

void CropNextSprite(int x, int y, int width, int height) {
    // A crop never starts before the sprite: that would show its neighbours on the sheet.
    g_crop = {std::max(x, 0), std::max(y, 0), width, height, true};
}

SpriteRect GetSprite(Texture* texture, const char* spriteName) {
    const Sprite& sprite = SpriteOrFail(texture, spriteName);
    float x = static_cast<float>(sprite.x), y = static_cast<float>(sprite.y);
    float w = static_cast<float>(sprite.width), h = static_cast<float>(sprite.height);
    if (g_crop.pending) {
        const float s = texture->scale;
        const float left = static_cast<float>(g_crop.x) * s, top = static_cast<float>(g_crop.y) * s;
        const float right = static_cast<float>(g_crop.width) * s, bottom = static_cast<float>(g_crop.height) * s;
        x += std::min(left, w);
        y += std::min(top, h);
        // 0 reaches the sprite's far edge, a negative value stops that far before it; a crop
        // beyond the sprite leaves nothing rather than a negative size.
        const float cropW = right > 0 ? right : right + w - left;
        const float cropH = bottom > 0 ? bottom : bottom + h - top;
        w = std::max(0.0f, std::min(std::max(cropW, 0.0f), w - left));
        h = std::max(0.0f, std::min(std::max(cropH, 0.0f), h - top));
        g_crop.pending = false;
    }
    return RectOnTexture(texture, sprite, x, y, w, h);
}

SpriteRect SpriteRectOf(const Texture* texture, const char* spriteName) {
    const Sprite& sprite = SpriteOrFail(texture, spriteName);
    return RectOnTexture(texture, sprite, static_cast<float>(sprite.x), static_cast<float>(sprite.y),
                         static_cast<float>(sprite.width), static_cast<float>(sprite.height));
}

void LoadSpriteSheet(Texture* texture, const std::string& fileName) {
    const auto file = LoadStoredFile(fileName);
    if (!file) VELK_ERROR("Storage: LoadFile - file not found: %s", fileName.c_str());
    ParseSpriteSheet(texture, std::string_view(reinterpret_cast<const char*>(file->data()), file->size()));
}

void ReleaseUnusedTextures() {
    // Pending quads may still name a texture about to go.
    FlushBatch(kAllBatchSlots);
    Registry& registry = TheRegistry();
    const Texture* target = ActiveRenderTarget();
    std::erase_if(registry.textures, [target](const TexturePtr& t) {
        if (t->refCount > 0 || t.get() == target) return false;
        Forget(t.get());
        return true;
    });
}

void ReleaseAllTextures() {
    FlushBatch(kAllBatchSlots);
    bool unreleased = false;
    Registry& registry = TheRegistry();
    for (const auto& t : registry.textures) {
        if (t->refCount > 0) {
            LogPrintf("Texture is not released: %s [ref: %d]", t->name.c_str(), t->refCount);
            unreleased = true;
        }
    }
    registry.textures.clear();
    registry.byName.clear();
    if (g_config.dev_mode && unreleased)
        ShowMessageBox("Some textures were not released properly, see log for details.", "Unreleased textures",
                       MessageBoxKind::Information);
}

void ReleaseDeviceTextures() {
    ForgetBoundTexture();
    for (const auto& t : TheRegistry().textures) ReleaseDeviceObjects(t.get());
}

void ReloadDeviceTextures() {
    for (const auto& t : TheRegistry().textures) {
        ReleaseDeviceObjects(t.get());
        if (t->name.empty()) {
            if (!CreateBlankDeviceObjects(t.get(), t->width, t->height)) ReleaseDeviceObjects(t.get());
        } else {
            LoadTextureImage(t.get(), t->name);
        }
    }
}

void UpdateTexture(int x, int y, Texture* texture, int width, int height, const void* pixels, int kind) {
    // The back end refuses (with a warning) rectangles that do not fit the texture.
    if (!texture) return;
    if (texture->glTexture) {
        GL_LogPendingError("UpdateTexture start", __FILE__, __LINE__);
        GL_UpdateTexture(pixels, *texture, x, y, width, height, kind);
    } else if (texture->deviceTexture) {
        D3D_UpdateTexture(x, y, texture->deviceTexture, width, height, pixels, kind);
    }
}

const std::vector<TexturePtr>& AllTextures() { return TheRegistry().textures; }
