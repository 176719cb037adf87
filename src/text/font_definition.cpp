#include "text/font_definition.h"

#include <algorithm>
#include <cmath>

#include "core/log.h"
#include "storage/storage.h"
#include "core/string_utils.h"
#include "formats/vstore.h"
#include "text/debug_font.h"
#include "text/font_freetype.h"
#include "text/text_words.h"

namespace {

// Wider outlines than this are drawn at this width.
constexpr float kOutlineLimit = 64.0f;

float FiniteOr(float value, float fallback) {
    return std::isfinite(value) ? value : fallback;
}

TrueText_Size SizeOf(const VStoreNode& node, const char* key, const char* fallback) {
    return TrueText_ParseSize(node.GetStringOr(key, fallback));
}

bool EndsWith(const std::string& text, const std::string& ending) {
    return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

TrueText_Layer ReadLayer(const VStoreNode& node) {
    TrueText_Layer layer;
    std::string color;
    if (node.GetString("color", color)) {
        layer.colorMode = 1;
        layer.color = ParseTextColor(color);
    } else if (const VStoreNode* gradient = node.GetChild("color")) {
        layer.colorMode = 2;
        layer.color = ParseTextColor(gradient->GetStringOr("start", "#ffffff"));
        layer.endColor = ParseTextColor(gradient->GetStringOr("end", "#ffffff"));
    }
    layer.x = SizeOf(node, "x", "0");
    layer.y = SizeOf(node, "y", "0");
    layer.blur = SizeOf(node, "blur", "0");
    layer.alpha = std::clamp(FiniteOr(node.GetFloatOr("alpha", 1.0f), 1.0f), 0.0f, 1.0f);
    layer.outline = std::clamp(FiniteOr(node.GetFloatOr("outline", 0.0f), 0.0f), 0.0f, kOutlineLimit);
    return layer;
}

// An outline reaches as far past the glyph as its drawn border, so it widens the block
// as a blur does instead of being cut off at the block's edge.
void GrowExtent(TrueText_Extent& extent, const TrueText_Layer& layer, float fontSize) {
    const float x = TrueText_SizeToPixels(layer.x, fontSize);
    const float y = TrueText_SizeToPixels(layer.y, fontSize);
    const float spread = TrueText_SizeToPixels(layer.blur, fontSize) + std::ceil(layer.outline);
    extent.minX = std::min(extent.minX, x - spread);
    extent.maxX = std::max(extent.maxX, x + spread);
    extent.minY = std::min(extent.minY, y - spread);
    extent.maxY = std::max(extent.maxY, y + spread);
}

std::unique_ptr<TrueText_Font> FromDefinition(const std::string& name, const std::string& path, float size) {
    const std::string file = path + ".fn2";
    int32_t length = 0;
    const FileData data = LoadFile(file, &length, true);
    VStoreNode root;
    root.Parse(data.get(), static_cast<std::size_t>(std::max(length, 0)), file.c_str());
    const std::string face = root.GetStringOr("font", path);
    // No font class reads glyphs from an image.
    if (EndsWith(ToLower(face), ".png")) VELK_ERROR("TrueText: %s names an image font (%s)", file.c_str(), face.c_str());
    std::unique_ptr<TrueText_Font> font;
    if (name == "system")
        font = std::make_unique<TrueText_DebugFont>();
    else
        font = std::make_unique<TrueText_FreeTypeFont>();
    font->faceName = face;
    font->size = TrueText_ClampFontSize(FiniteOr(root.GetFloatOr("font_scale", 1.0f), 1.0f) * size);
    font->clipTop = SizeOf(root, "clip_top", "0");
    font->clipRight = SizeOf(root, "clip_right", "0");
    font->clipBottom = SizeOf(root, "clip_bottom", "0");
    font->clipLeft = SizeOf(root, "clip_left", "0");
    font->wordSpacing = SizeOf(root, "word_spacing", "0");
    font->letterSpacing = SizeOf(root, "letter_spacing", "0");
    font->lineSpacing = SizeOf(root, "line_spacing", "0");
    font->paragraphSpacing = SizeOf(root, "paragraph_spacing", "0.5em");
    if (const VStoreNode* layers = root.GetChild("layers")) {
        font->layers.clear();
        for (const auto& [key, node] : layers->Children()) {
            font->layers.push_back(ReadLayer(*node));
            GrowExtent(font->layerExtent, font->layers.back(), font->size);
        }
    }
    return font;
}

}  // namespace

std::unique_ptr<TrueText_Font> TrueText_LoadFontDefinition(const std::string& name, float size) {
    const std::string path = "fonts/" + name;
    if (FileExists(path + ".fn2")) return FromDefinition(name, path, size);
    auto font = std::make_unique<TrueText_FreeTypeFont>();
    font->faceName = FileExists(path + ".ttf") ? path + ".ttf" : path + ".otf";
    TrueText_ApplySize(*font, size);
    return font;
}
