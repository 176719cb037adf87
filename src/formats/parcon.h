#pragma once
// The tree format of particle effects and bitmap-font descriptions: words, quoted
// strings and nested lists, "(" named by their first word or "[" unnamed, with "#"
// comments to the end of the line. A file is parsed whole into a tree of lists, which
// loaders then walk with cursors.
#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ParconList;

struct ParconItem {
    enum Kind { kList = 1, kWord = 2 };

    Kind kind = kWord;
    // A word's text; none for the name of an unnamed list.
    std::optional<std::string> text;
    std::unique_ptr<ParconList> list;
    // The path of the file the item was read from.
    std::shared_ptr<const std::string> source;
};

// Position 0 holds the list's name, so its values start at position 1.
struct ParconList {
    std::vector<ParconItem> items;
};

struct ParconCursor {
    const ParconList* list = nullptr;
    std::size_t index = 0;
};

class Parcon {
public:
    static constexpr int kMaxIncludeDepth = 5;
    static constexpr std::size_t kLineLimit = 8000;
    // Far beyond what any effect or font needs; bounds the reader's recursion.
    static constexpr int kMaxNesting = 200;

    Parcon() = default;
    Parcon(const Parcon&) = delete;
    Parcon& operator=(const Parcon&) = delete;

    // Pushes the file read from storage; false when storage does not have it.
    bool OpenInclude(const std::string& path);
    // Pushes a file whose bytes are already in memory.
    void OpenText(const std::string& path, std::string bytes);

    // Reads items until the list closes or all input ends.
    std::unique_ptr<ParconList> ParseList(bool openedByParen, bool isRoot);

    bool Advance(ParconCursor& cursor) const;
    // The current word's text; null for a list.
    const char* CurrentString(const ParconCursor& cursor) const;
    // The current item's list; null for a word.
    const ParconList* CurrentItemText(const ParconCursor& cursor) const;
    // The list's name; null for an unnamed list.
    const char* FirstItemValue(const ParconCursor& cursor) const;
    // Whether the next item exists and is a word.
    bool HasNext(const ParconCursor& cursor) const;
    // Each moves to the next item; at the list's end the "More data expected" error.
    const char* NextString(ParconCursor& cursor) const;
    float NextFloat(ParconCursor& cursor, float fallback) const;
    int NextInt(ParconCursor& cursor) const;

private:
    struct Slot {
        std::shared_ptr<const std::string> path;
        std::string bytes;
        std::size_t stream_pos = 0;
        std::string_view line;
        std::size_t pos = 0;
    };

    void CheckIncludeDepth() const;
    const ParconItem* Current(const ParconCursor& cursor) const;
    void MoveToNext(ParconCursor& cursor) const;
    [[noreturn]] void FailMoreDataExpected(const ParconCursor& cursor) const;
    bool NextToken();
    bool NextTokenInSlot(Slot& slot);
    void ReadQuoted(Slot& slot);
    void ReadWord(Slot& slot);
    static bool ReadLine(Slot& slot);
    ParconItem MakeItem() const;

    std::array<Slot, kMaxIncludeDepth + 1> slots_;
    int depth_ = -1;
    int nesting_ = 0;
    std::string token_;
};
