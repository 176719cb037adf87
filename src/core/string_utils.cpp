#include "core/string_utils.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <sstream>

namespace {

constexpr std::size_t kWideLimit = 260;
constexpr std::size_t kUtf8Limit = 1023;

int LeadingOnes(unsigned char byte) {
    int count = 0;
    while (count < 5 && (byte & (0x80 >> count))) ++count;
    return count;
}

float Clamp01(float value) { return std::clamp(value, 0.0f, 1.0f); }

}  // namespace

namespace {

// Walks at most unitLimit units, handing each to `take`; returns the first byte not read.
template <class Take>
const unsigned char* WalkUtf8(const unsigned char* p, std::size_t unitLimit, Take take) {
    std::size_t written = 0;
    while (*p && written < unitLimit) {
        const int ones = LeadingOnes(*p);
        if (ones == 0) {
            take(written++, *p++);
            continue;
        }
        // A sequence cut short by a byte without its top bit yields nothing; that byte
        // starts the next character.
        int follow = 1;
        while (follow < ones && (p[follow] & 0x80)) ++follow;
        if (follow < ones) {
            p += follow;
            continue;
        }
        // A lone continuation byte (one leading one) keeps its low 6 bits.
        uint32_t value = *p & (0x7F >> ones);
        for (int i = 1; i < ones; ++i) value = (value << 6) | (p[i] & 0x3F);
        take(written++, static_cast<char16_t>(value));
        p += ones;
    }
    return p;
}

}  // namespace

std::size_t DecodeUtf8(const char* bytes, char16_t* out, std::size_t unitLimit) {
    std::size_t written = 0;
    WalkUtf8(reinterpret_cast<const unsigned char*>(bytes), unitLimit, [&](std::size_t i, char16_t unit) {
        out[i] = unit;
        written = i + 1;
    });
    out[written] = 0;
    return written;
}

std::size_t Utf8PrefixLength(const char* bytes, std::size_t unitLimit) {
    const auto* start = reinterpret_cast<const unsigned char*>(bytes);
    return static_cast<std::size_t>(WalkUtf8(start, unitLimit, [](std::size_t, char16_t) {}) - start);
}

std::size_t EncodeUtf8(const char16_t* units, char* out, std::size_t byteLimit) {
    std::size_t written = 0;
    for (; *units; ++units) {
        const uint32_t u = *units;
        char buffer[3];
        std::size_t length;
        if (u < 0x80) {
            buffer[0] = static_cast<char>(u);
            length = 1;
        } else if (u < 0x800) {
            buffer[0] = static_cast<char>(0xC0 | (u >> 6));
            buffer[1] = static_cast<char>(0x80 | (u & 0x3F));
            length = 2;
        } else {
            buffer[0] = static_cast<char>(0xE0 | (u >> 12));
            buffer[1] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            buffer[2] = static_cast<char>(0x80 | (u & 0x3F));
            length = 3;
        }
        if (written + length >= byteLimit) break;
        std::memcpy(out + written, buffer, length);
        written += length;
    }
    out[written] = 0;
    return written;
}

WideString Utf8ToWide(const std::string& text) {
    char16_t buffer[kWideLimit + 1];
    const std::size_t count = DecodeUtf8(text.c_str(), buffer, kWideLimit);
    return WideString(buffer, count);
}

std::string WideToUtf8(const WideString& text) {
    char buffer[kUtf8Limit + 1];
    const std::size_t count = EncodeUtf8(text.c_str(), buffer, kUtf8Limit);
    return std::string(buffer, count);
}

void ToLowerInPlace(std::string& text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

std::string ToLower(const std::string& text) {
    std::string copy = text;
    ToLowerInPlace(copy);
    return copy;
}

void TrimLeft(const char* set, std::string& text) {
    text.erase(0, std::min(text.find_first_not_of(set), text.size()));
}

void TrimRight(const char* set, std::string& text) {
    const std::size_t last = text.find_last_not_of(set);
    text.erase(last == std::string::npos ? 0 : last + 1);
}

void DropByteOrderMark(std::string& text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
}

std::vector<std::string> SplitString(const std::string& text, const char* delimiters) {
    std::vector<std::string> pieces;
    std::size_t start = text.find_first_not_of(delimiters);
    while (start != std::string::npos) {
        const std::size_t end = text.find_first_of(delimiters, start);
        pieces.push_back(text.substr(start, end - start));
        start = text.find_first_not_of(delimiters, end);
    }
    return pieces;
}

void SplitToList(const std::string& text, const char* delimiters, std::list<std::string>& out) {
    for (auto& piece : SplitString(text, delimiters)) out.push_back(std::move(piece));
}

unsigned int StringToUnsigned(const std::string& text) {
    std::istringstream stream(text);
    unsigned int value = 0;
    if (!(stream >> value)) return 0;
    return value;
}

std::string IntToString(int value) {
    std::ostringstream stream;
    stream << value;
    return stream.str();
}

CosSin CosSinOf(float radians) {
    if (radians == 0.0f) return {1.0f, radians};
    return {std::cos(radians), std::sin(radians)};
}

void RotatePoint(float& x, float& y, float angle) {
    const auto [c, s] = CosSinOf(angle);
    const float nx = c * x + s * y;
    const float ny = -s * x + c * y;
    x = nx;
    y = ny;
}

uint32_t PackARGB(float red, float green, float blue, float alpha) {
    auto channel = [](float v) { return static_cast<uint32_t>(Clamp01(v) * 255.001f); };
    return channel(alpha) << 24 | channel(red) << 16 | channel(green) << 8 | channel(blue);
}
