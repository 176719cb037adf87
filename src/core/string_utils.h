#pragma once
// Small string helpers shared by every subsystem. Strings hold UTF-8; wide strings
// hold UTF-16 units.
#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

using WideString = std::u16string;

inline constexpr const char* kBlanks = " \t\n\r";

std::size_t DecodeUtf8(const char* bytes, char16_t* out, std::size_t unitLimit);
// The bytes DecodeUtf8 reads for at most unitLimit units: what of a text it can see.
std::size_t Utf8PrefixLength(const char* bytes, std::size_t unitLimit);
std::size_t EncodeUtf8(const char16_t* units, char* out, std::size_t byteLimit);
WideString Utf8ToWide(const std::string& text);
std::string WideToUtf8(const WideString& text);

void ToLowerInPlace(std::string& text);
std::string ToLower(const std::string& text);
void TrimLeft(const char* set, std::string& text);
void TrimRight(const char* set, std::string& text);
// Drops the UTF-8 byte-order mark a Windows editor puts at the start of a text file.
void DropByteOrderMark(std::string& text);
std::vector<std::string> SplitString(const std::string& text, const char* delimiters);
void SplitToList(const std::string& text, const char* delimiters, std::list<std::string>& out);

unsigned int StringToUnsigned(const std::string& text);
std::string IntToString(int value);

// The cosine and sine of an angle in radians. Most things drawn are not turned: for ±0
// the calls are skipped, with the same bits (cos is 1, sin the zero itself).
struct CosSin {
    float cos, sin;
};
CosSin CosSinOf(float radians);
void RotatePoint(float& x, float& y, float angle);
uint32_t PackARGB(float red, float green, float blue, float alpha);
