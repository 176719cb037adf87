#include "text/font_freetype.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_STROKER_H

#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include "core/log.h"
#include "core/saturate.h"
#include "storage/storage.h"
#include "graphics/surface.h"

namespace {

// A face and the file buffer it reads from (FreeType keeps reading it while open).
struct OpenFace {
    FileData data;
    FT_Face face = nullptr;
    OpenFace() = default;
    OpenFace(const OpenFace&) = delete;
    OpenFace& operator=(const OpenFace&) = delete;
    ~OpenFace() {
        if (face) FT_Done_Face(face);
    }
};

FT_Library g_library = nullptr;
std::map<std::string, std::unique_ptr<OpenFace>, std::less<>> g_faces;

// Coverage rows read by pitch (bottom-up bitmaps have a negative one) and pixel mode;
// packed into `coverage`. False for a mode that carries no coverage.
bool ReadCoverage(const FT_Bitmap& bitmap, std::vector<uint8_t>& coverage) {
    const int width = static_cast<int>(bitmap.width), rows = static_cast<int>(bitmap.rows);
    coverage.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(rows), 0);
    for (int y = 0; y < rows; ++y) {
        const uint8_t* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
        uint8_t* out = coverage.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x) {
            switch (bitmap.pixel_mode) {
                case FT_PIXEL_MODE_GRAY: out[x] = row[x]; break;
                case FT_PIXEL_MODE_MONO: out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0; break;
                case FT_PIXEL_MODE_BGRA: out[x] = row[4 * x + 3]; break;
                default: return false;
            }
        }
    }
    return true;
}

// Loads a glyph into the face's slot; false (and the slot not to be read) on failure.
bool LoadGlyph(FT_Face face, unsigned index, FT_Int32 flags) {
    return face && FT_Load_Glyph(face, index, flags) == 0;
}

float PairKerning(FT_Face face, unsigned left, unsigned right) {
    FT_Vector kerning{};
    if (left == 0 || right == 0 || FT_Get_Kerning(face, left, right, FT_KERNING_DEFAULT, &kerning) != 0) return 0.0f;
    return static_cast<float>(kerning.x) / 64.0f;
}

}  // namespace

void TrueText_InitFreeType() {
    if (g_library) return;
    // Reported under the source name and line this failure has always carried.
    if (FT_Init_FreeType(&g_library) != 0) LogError("font_freetype", 21, "FT_Init_FreeType failed");
}

void TrueText_DoneFreeType() {
    if (!g_library) return;
    TrueText_ClearFaceCache();
    FT_Done_FreeType(g_library);
    g_library = nullptr;
}

bool TrueText_FreeTypeReady() {
    return g_library != nullptr;
}

FT_FaceRec_* TrueText_GetFace(const std::string& fileName) {
    if (const auto found = g_faces.find(fileName); found != g_faces.end()) return found->second->face;
    if (!g_library) return nullptr;
    const std::string path = fileName.find('.') == std::string::npos ? fileName + ".ttf" : fileName;
    auto entry = std::make_unique<OpenFace>();
    int32_t size = 0;
    entry->data = LoadFile(path, &size, true);
    if (!entry->data || size <= 0 ||
        FT_New_Memory_Face(g_library, reinterpret_cast<const FT_Byte*>(entry->data.get()), size, 0, &entry->face) != 0) {
        entry->face = nullptr;
        VELK_ERROR("TrueText: cannot open the font face %s", path.c_str());
    }
    FT_Face face = entry->face;
    g_faces.emplace(fileName, std::move(entry));
    return face;
}

void TrueText_ClearFaceCache() {
    g_faces.clear();
}

void TrueText_FreeTypeFont::UpdateMetrics() {
    face_ = TrueText_GetFace(faceName);
    previousGlyph_ = 0;
    resolved.descender = 0.0f;
    resolved.lineHeight = 0.0f;
    const FT_F26Dot6 height = TruncateToInt(double{size} * 64.0);
    if (!face_ || height < 1 || FT_Set_Char_Size(face_, 0, height, 72, 72) != 0) return;
    resolved.descender = static_cast<float>(face_->size->metrics.descender) / 64.0f;
    resolved.lineHeight = static_cast<float>(face_->size->metrics.height) / 64.0f;
}

TrueText_Advance TrueText_FreeTypeFont::GetAdvance(uint32_t character) {
    if (!face_ || !LoadGlyph(face_, FT_Get_Char_Index(face_, character), FT_LOAD_DEFAULT)) return {};
    return {static_cast<float>(face_->glyph->metrics.horiAdvance) / 64.0f, 0.0f};
}

TrueText_Glyph TrueText_FreeTypeFont::RenderGlyph(uint32_t character, Surface* out, float outline) {
    TrueText_Glyph glyph;
    if (!face_ || !out) return glyph;
    const unsigned index = FT_Get_Char_Index(face_, character);
    if (!LoadGlyph(face_, index, FT_LOAD_RENDER)) return glyph;
    const FT_GlyphSlot slot = face_->glyph;
    static std::vector<uint8_t> coverage;
    if (!ReadCoverage(slot->bitmap, coverage)) return glyph;
    glyph.advance = static_cast<float>(slot->metrics.horiAdvance) / 64.0f;
    glyph.height = static_cast<int>(slot->bitmap.rows);
    glyph.width = static_cast<int>(slot->bitmap.width);
    glyph.left = slot->bitmap_left;
    glyph.top = TruncateToInt(resolved.lineHeight) - slot->bitmap_top;
    glyph.kerning = PairKerning(face_, previousGlyph_, index);
    previousGlyph_ = index;
    if (outline == 0.0f || !std::isfinite(outline)) {
        CreateFromAlpha(*out, glyph.width, glyph.height, coverage.data());
        return glyph;
    }
    const int border = static_cast<int>(std::ceil(std::fabs(outline)));
    out->Create(glyph.width + 2 * border, glyph.height + 2 * border, true);
    if (glyph.width == 0) return glyph;
    StrokeOutline(glyph, border, std::fabs(outline), *out);
    glyph.left -= border;
    glyph.top -= border;
    return glyph;
}

float TrueText_FreeTypeFont::Kerning(uint32_t left, uint32_t right) {
    if (!face_) return 0.0f;
    return PairKerning(face_, FT_Get_Char_Index(face_, left), FT_Get_Char_Index(face_, right));
}

void TrueText_FreeTypeFont::StrokeOutline(const TrueText_Glyph& glyph, int border, float outline, Surface& out) const {
    const FT_GlyphSlot slot = face_->glyph;
    FT_Stroker stroker = nullptr;
    if (FT_Stroker_New(g_library, &stroker) != 0) return;
    FT_UInt pointCount = 0, contourCount = 0;
    FT_Outline stroked{};
    if (FT_Stroker_ParseOutline(stroker, &slot->outline, false) == 0 &&
        FT_Stroker_GetCounts(stroker, &pointCount, &contourCount) == 0 &&
        FT_Outline_New(g_library, pointCount, static_cast<FT_Int>(contourCount), &stroked) == 0) {
        stroked.n_points = 0;
        stroked.n_contours = 0;
        FT_Stroker_Export(stroker, &stroked);
        // Grows with the largest outline seen; control points count as plain vertices.
        static std::vector<SurfacePoint> points;
        points.resize(static_cast<std::size_t>(std::max<int>(stroked.n_points, 0)));
        for (int i = 0; i < stroked.n_points; ++i)
            points[i] = {static_cast<float>(border) + stroked.points[i].x / 64.0f - static_cast<float>(glyph.left),
                         static_cast<float>(border + slot->bitmap_top) - stroked.points[i].y / 64.0f};
        int first = 0;
        for (int c = 0; c < stroked.n_contours; ++c) {
            const int last = stroked.contours[c];
            if (last >= first && last < stroked.n_points)
                StrokePolyline(points.data() + first, last - first + 1, outline, out);
            first = last + 1;
        }
        FT_Outline_Done(g_library, &stroked);
    }
    FT_Stroker_Done(stroker);
}
