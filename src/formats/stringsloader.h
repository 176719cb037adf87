#pragma once
// Localised string files: one "name = value" entry a line, "#" comments, backslash-n
// for a line feed, multi-line values between "@@" marks. Every entry becomes a field of
// the script table on top of the stack.
#include <cstddef>
#include <string>

struct lua_State;

// Where the lines come from, so the parser does not depend on where the text lives.
class StringsSource {
public:
    virtual ~StringsSource() = default;
    // Releases what Open acquired.
    virtual void Close() {}
    virtual bool Open(const std::string& fileName) = 0;
    // The next line without its line feed; false when no line is left.
    virtual bool ReadLine(std::string& line) = 0;
};

// Lines of a file read whole through storage.
class StreamStringsSource : public StringsSource {
public:
    void Close() override;
    // A missing file is fatal.
    bool Open(const std::string& fileName) override;
    bool ReadLine(std::string& line) override;
    // Reads lines from bytes already in memory.
    void OpenBytes(std::string bytes);

private:
    std::string bytes_;
    std::size_t pos_ = 0;
};

// Parses the source into the table on top of L's stack; the number of entries stored,
// or -1 when the source does not open. A malformed line is fatal.
int ParseStrings(lua_State* L, StringsSource& source, const std::string& fileName);
int LoadStringsFile(lua_State* L, const std::string& fileName);
