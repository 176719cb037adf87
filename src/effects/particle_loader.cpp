#include "effects/particle_loader.h"

#include <strings.h>

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "core/saturate.h"
#include "effects/particle_system.h"
#include "graphics/image_loader.h"
#include "graphics/surface.h"
#include "graphics/texture.h"
#include "storage/storage_path.h"

namespace {

constexpr std::size_t kShapeMaskKeyLength = 10;  // "shape_mask", then the channel
constexpr int kShapeMaskThreshold = 31;

bool SameWord(const char* a, const char* b) { return a && strcasecmp(a, b) == 0; }

std::unique_ptr<ParconList> ReadParconFile(Parcon& reader, const std::string& fileName) {
    if (!reader.OpenInclude(fileName)) VELK_ERROR("Parcon Error: Cannot find file %s!", fileName.c_str());
    return reader.ParseList(false, true);
}

// One key-list reader: the reader, a cursor on the key's name, and the emitter.
struct KeyContext {
    const Parcon& reader;
    ParconCursor cursor;
    ParticleEmitter& emitter;
};

Texture& RequireTexture(const ParticleEmitter& emitter) {
    if (!emitter.texture) VELK_ERROR("Texture is not initialized!");
    return *emitter.texture;
}

// One key from the words after the cursor: time in seconds, then up to `values` values,
// each missing one repeating the one before.
void ReadCurveKey(const Parcon& reader, ParconCursor cursor, ParticleCurve& curve, int values) {
    const float seconds = reader.NextFloat(cursor, 0);
    float value[3] = {0, 0, 0};
    value[0] = reader.NextFloat(cursor, 0);
    for (int i = 1; i < values; ++i) value[i] = reader.HasNext(cursor) ? reader.NextFloat(cursor, 0) : value[i - 1];
    ParticleCurve_AddKey(curve, TruncateToInt(double{seconds} * 1000.0), value);
}

// A key written inline, or a list of key lists (read the same way, to any depth).
void ReadCurve(const Parcon& reader, const ParconList& list, ParticleCurve& curve, int values) {
    ParconCursor cursor{&list, 0};
    if (reader.HasNext(cursor)) {
        ReadCurveKey(reader, cursor, curve, values);
        return;
    }
    while (reader.Advance(cursor)) {
        const ParconList* keys = reader.CurrentItemText(cursor);
        if (keys && keys->items.size() > 1) ReadCurve(reader, *keys, curve, values);
    }
}

void ReadRange(KeyContext& key, ParticleRange& range) {
    range.min = key.reader.NextFloat(key.cursor, 0);
    range.max = key.reader.HasNext(key.cursor) ? key.reader.NextFloat(key.cursor, 0) : range.min;
}

void ReadTexture(KeyContext& key) {
    const char* name = key.reader.NextString(key.cursor);
    if (!name) return;
    // A second texture gives the first one's reference back.
    key.emitter.texture.reset(LoadTexture(name));
}

void ReadCoords(KeyContext& key) {
    const Texture& texture = RequireTexture(key.emitter);
    ParticleRect rect;
    rect.u0 = key.reader.NextFloat(key.cursor, 0);
    rect.v0 = key.reader.NextFloat(key.cursor, 0);
    rect.u1 = key.reader.NextFloat(key.cursor, 0);
    rect.v1 = key.reader.NextFloat(key.cursor, 0);
    rect.pivotX = (rect.u1 - rect.u0) * static_cast<float>(texture.width) / 2;
    rect.pivotY = (rect.v1 - rect.v0) * static_cast<float>(texture.height) / 2;
    key.emitter.rects.push_back(rect);
}

void ReadSprites(KeyContext& key) {
    const Texture& texture = RequireTexture(key.emitter);
    const auto width = static_cast<float>(texture.width), height = static_cast<float>(texture.height);
    while (key.reader.Advance(key.cursor)) {
        const char* name = key.reader.CurrentString(key.cursor);
        if (!name) continue;
        const Sprite* sprite = FindSprite(&texture, name);
        if (!sprite) VELK_ERROR("Can't find sptite \"%s\" in texture \"%s\"!", name, texture.name.c_str());
        ParticleRect rect;
        rect.u0 = static_cast<float>(sprite->x) / width;
        rect.v0 = static_cast<float>(sprite->y) / height;
        rect.u1 = rect.u0 + static_cast<float>(sprite->width) / width;
        rect.v1 = rect.v0 + static_cast<float>(sprite->height) / height;
        rect.pivotX = static_cast<float>(sprite->pivotX);
        rect.pivotY = static_cast<float>(sprite->pivotY);
        key.emitter.rects.push_back(rect);
    }
}

void ReadBlending(KeyContext& key) {
    const char* word = key.reader.NextString(key.cursor);
    if (!word) return;
    if (std::strcmp(word, "alpha") == 0) key.emitter.blending = kParticleAlpha;
    if (std::strcmp(word, "add") == 0) key.emitter.blending = kParticleAdd;
    if (std::strcmp(word, "subtr") == 0) key.emitter.blending = kParticleSubtract;
}

void ReadLimit(KeyContext& key) {
    const int limit = key.reader.NextInt(key.cursor);
    if (limit < 0 || limit > kMaxParticleLimit)
        VELK_ERROR("Particle limit %d is out of range (0 to %d)", limit, kMaxParticleLimit);
    key.emitter.particles = std::make_unique<Particle[]>(static_cast<std::size_t>(limit));
    key.emitter.limit = limit;
}

int ShapeMaskChannel(const char* keyName) {
    const char* word = std::strlen(keyName) > kShapeMaskKeyLength ? keyName + kShapeMaskKeyLength : "";
    if (SameWord(word, "green")) return 1;
    if (SameWord(word, "blue")) return 2;
    if (SameWord(word, "alpha")) return 3;
    return 0;
}

// Spawn points from the pixels of an image whose channel byte is above 31, spread over a
// target size centred on the origin.
void ReadShapeMask(KeyContext& key, const char* keyName) {
    const char* name = key.reader.NextString(key.cursor);
    if (!name) return;
    std::string path = NormalizePathLower(name);
    if (GetExtension(path).empty()) path += ".png";
    Surface surface;
    LoadSurfaceFromFile(surface, path);
    const int w = surface.width, h = surface.height;
    float targetWidth = static_cast<float>(w - 1), targetHeight = static_cast<float>(h - 1);
    if (w > 1 && key.reader.HasNext(key.cursor)) targetWidth = key.reader.NextFloat(key.cursor, 0);
    if (h > 1) {
        if (key.reader.HasNext(key.cursor))
            targetHeight = key.reader.NextFloat(key.cursor, 0);
        else if (w > 1)
            targetHeight = static_cast<float>(h - 1) * targetWidth / static_cast<float>(w - 1);
    }
    const int shift = 8 * ShapeMaskChannel(keyName);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            if (static_cast<int>((surface.Row(j)[i] >> shift) & 0xFFu) <= kShapeMaskThreshold) continue;
            const float x =
                w == 1 ? 0 : static_cast<float>(i) / static_cast<float>(w - 1) * targetWidth - targetWidth / 2;
            const float y =
                h == 1 ? 0 : static_cast<float>(j) / static_cast<float>(h - 1) * targetHeight - targetHeight / 2;
            key.emitter.shapePoints.push_back({x, y});
        }
}

struct CurveKey {
    const char* name;
    ParticleCurve ParticleEmitter::*curve;
    int values;
};

constexpr CurveKey kCurveKeys[] = {
    {"particle_alpha", &ParticleEmitter::alpha, 1},
    {"particle_color", &ParticleEmitter::color, 3},
    {"particle_scale", &ParticleEmitter::scale, 1},
    {"particle_spin", &ParticleEmitter::spin, 1},
    {"flow", &ParticleEmitter::flow, 1},
    {"burst", &ParticleEmitter::burst, 1},
    {"starting_direction", &ParticleEmitter::direction, 2},
    {"starting_rotation", &ParticleEmitter::rotation, 2},
    {"starting_velocity", &ParticleEmitter::velocity, 2},
};

struct RangeKey {
    const char* name;
    ParticleRange ParticleEmitter::*range;
};

constexpr RangeKey kRangeKeys[] = {
    {"radial_acceleration", &ParticleEmitter::radial},
    {"tangential_acceleration", &ParticleEmitter::tangential},
    {"gravity", &ParticleEmitter::gravity},
};

struct FlagKey {
    const char* name;
    bool ParticleEmitter::*flag;
};

constexpr FlagKey kFlagKeys[] = {
    {"relative_direction", &ParticleEmitter::relativeDirection},
    {"relative_rotation", &ParticleEmitter::relativeRotation},
    {"looped", &ParticleEmitter::looped},
};

struct OtherKey {
    const char* name;
    void (*read)(KeyContext&);
};

constexpr OtherKey kOtherKeys[] = {
    {"generator_angle", [](KeyContext& k) { ParticleEmitter_SetAngle(k.emitter, k.reader.NextFloat(k.cursor, 0)); }},
    {"texture", ReadTexture},
    {"coords", ReadCoords},
    {"sprite", ReadSprites},
    {"blending", ReadBlending},
    {"particle_limit", ReadLimit},
    {"explosion_parts", [](KeyContext& k) { k.emitter.explosionParts = k.reader.NextInt(k.cursor); }},
};

void ReadKey(const Parcon& reader, const ParconList& list, ParticleEmitter& emitter) {
    KeyContext key{reader, ParconCursor{&list, 0}, emitter};
    const char* name = reader.FirstItemValue(key.cursor);
    if (!name) return;
    for (const CurveKey& k : kCurveKeys)
        if (SameWord(name, k.name)) return ReadCurve(reader, list, emitter.*k.curve, k.values);
    for (const RangeKey& k : kRangeKeys)
        if (SameWord(name, k.name)) return ReadRange(key, emitter.*k.range);
    for (const FlagKey& k : kFlagKeys)
        if (SameWord(name, k.name)) {
            emitter.*k.flag = reader.NextInt(key.cursor) != 0;
            return;
        }
    for (const OtherKey& k : kOtherKeys)
        if (SameWord(name, k.name)) return k.read(key);
    if (strncasecmp(name, "shape_mask", kShapeMaskKeyLength) == 0) ReadShapeMask(key, name);
}

int LatestKeyTime(const ParticleEmitter& emitter, std::initializer_list<ParticleCurve ParticleEmitter::*> curves) {
    int latest = 0;
    for (const auto curve : curves) latest = std::max(latest, ParticleCurve_LastTime(emitter.*curve));
    return latest;
}

float SecondsOrOne(int milliseconds) { return milliseconds == 0 ? 1.0f : static_cast<float>(milliseconds) / 1000.0f; }

void FinishEmitter(ParticleEmitter& emitter) {
    const Texture& texture = RequireTexture(emitter);
    constexpr float kOnes[3] = {1, 1, 1};
    for (ParticleCurve* curve : {&emitter.scale, &emitter.alpha, &emitter.color})
        if (curve->count == 0) ParticleCurve_AddKey(*curve, 0, kOnes);
    using E = ParticleEmitter;
    emitter.life = SecondsOrOne(LatestKeyTime(emitter, {&E::alpha, &E::color, &E::scale, &E::spin}));
    emitter.cycle =
        SecondsOrOne(LatestKeyTime(emitter, {&E::flow, &E::burst, &E::direction, &E::rotation, &E::velocity}));
    if (emitter.explosionParts == 0) emitter.explosionParts = emitter.limit / 2;
    if (emitter.rects.empty())
        emitter.rects.push_back(
            {0, 0, 1, 1, static_cast<float>(texture.width) / 2, static_cast<float>(texture.height) / 2});
    emitter.loaded = true;
    emitter.emitting = true;
}

std::unique_ptr<ParticleEmitter> ReadGenerator(const Parcon& reader, const ParconList& generator) {
    const ParconCursor start{&generator, 0};
    if (reader.HasNext(start)) {
        ParconCursor name = start;
        return LoadEmitterFile(reader.NextString(name));
    }
    auto emitter = std::make_unique<ParticleEmitter>();
    ParseEmitter(*emitter, reader, generator);
    return emitter;
}

}  // namespace

void ParseEmitter(ParticleEmitter& emitter, const Parcon& reader, const ParconList& list) {
    emitter = ParticleEmitter{};
    ParconCursor cursor{&list, 0};
    while (reader.Advance(cursor))
        if (const ParconList* keyList = reader.CurrentItemText(cursor)) ReadKey(reader, *keyList, emitter);
    FinishEmitter(emitter);
}

std::unique_ptr<ParticleEmitter> LoadEmitterFile(const std::string& fileName) {
    Parcon reader;
    const auto root = ReadParconFile(reader, fileName);
    auto emitter = std::make_unique<ParticleEmitter>();
    ParseEmitter(*emitter, reader, *root);
    return emitter;
}

bool ParseParticleFile(const std::string& fileName, ParticleSystem& system) {
    ParticleSystem_Destroy(system);
    Parcon reader;
    const auto root = ReadParconFile(reader, fileName);
    ParconCursor cursor{root.get(), 0};
    while (reader.Advance(cursor)) {
        const ParconList* list = reader.CurrentItemText(cursor);
        if (list && SameWord(reader.FirstItemValue(ParconCursor{list, 0}), "generator"))
            system.emitters.push_back(ReadGenerator(reader, *list));
    }
    return !system.emitters.empty();
}
