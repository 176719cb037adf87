#include "formats/stringsloader.h"

#include <lua.hpp>

#include <string_view>

#include "core/log.h"
#include "core/string_utils.h"
#include "storage/storage.h"

namespace {

constexpr const char* kWhiteSpace = " \t\n\v\f\r";

bool IsWhiteSpace(char c) { return std::string_view(kWhiteSpace).find(c) != std::string_view::npos; }

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

bool IsLineEnd(char c) { return c == '\0' || c == '\n' || c == '\r'; }

const char* SkipWhiteSpace(const char* p) {
    while (IsWhiteSpace(*p)) ++p;
    return p;
}

// Up to the line's end; backslash-n is a line feed; trailing white space is dropped.
std::string SingleLineValue(const char* p) {
    std::string value;
    for (; !IsLineEnd(*p); ++p) {
        if (p[0] == '\\' && p[1] == 'n') {
            value += '\n';
            ++p;
        } else {
            value += *p;
        }
    }
    value.erase(value.find_last_not_of(kWhiteSpace) + 1);
    return value;
}

// Everything from p up to the next "@@", each line end becoming one line feed; the
// value also ends with the source. Leaves line holding the line where it ended.
std::string MultiLineValue(StringsSource& source, const char* p, std::string& line, int& lineNumber) {
    std::string value;
    for (;;) {
        if (p[0] == '@' && p[1] == '@') return value;
        if (!IsLineEnd(*p)) {
            value += *p++;
            continue;
        }
        value += '\n';
        ++lineNumber;
        if (!source.ReadLine(line)) return value;
        p = line.c_str();
    }
}

}  // namespace

bool StreamStringsSource::Open(const std::string& fileName) {
    int32_t size = 0;
    const FileData data = LoadFile(fileName, &size, true);
    OpenBytes(std::string(data.get(), static_cast<std::size_t>(size)));
    return true;
}

void StreamStringsSource::OpenBytes(std::string bytes) {
    bytes_ = std::move(bytes);
    DropByteOrderMark(bytes_);
    pos_ = 0;
}

void StreamStringsSource::Close() { OpenBytes({}); }

bool StreamStringsSource::ReadLine(std::string& line) {
    if (pos_ >= bytes_.size()) return false;
    const std::size_t end = std::min(bytes_.find('\n', pos_), bytes_.size());
    line.assign(bytes_, pos_, end - pos_);
    pos_ = end + 1;
    return true;
}

int ParseStrings(lua_State* L, StringsSource& source, const std::string& fileName) {
    if (!source.Open(fileName)) return -1;
    int count = 0;
    int lineNumber = 1;
    std::string line;
    while (source.ReadLine(line)) {
        // A NUL byte ends the line, as the line's terminator would.
        const char* p = SkipWhiteSpace(line.c_str());
        if (*p != '#') {
            const char* nameEnd = p;
            while (IsNameChar(*nameEnd)) ++nameEnd;
            const std::string name(p, nameEnd);
            p = SkipWhiteSpace(nameEnd);
            if (*p == '=') {
                p = SkipWhiteSpace(p + 1);
                const std::string value = p[0] == '@' && p[1] == '@' ? MultiLineValue(source, p + 2, line, lineNumber)
                                                                     : SingleLineValue(p);
                lua_pushlstring(L, value.data(), value.size());
                lua_setfield(L, -2, name.c_str());
                ++count;
            } else if (*p != '\0') {
                VELK_ERROR("Error processing file <%s>\n Line %d: %s", fileName.c_str(), lineNumber, line.c_str());
            }
        }
        ++lineNumber;
    }
    source.Close();
    return count;
}

int LoadStringsFile(lua_State* L, const std::string& fileName) {
    StreamStringsSource source;
    return ParseStrings(L, source, fileName);
}
