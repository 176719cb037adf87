#include "formats/parcon.h"

#include <cctype>

#include "core/log.h"
#include "core/number_text.h"
#include "core/string_utils.h"
#include "storage/storage.h"

namespace {

bool IsBracket(char c) { return c == '(' || c == ')' || c == '[' || c == ']'; }

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

void Parcon::CheckIncludeDepth() const {
    if (depth_ + 1 > kMaxIncludeDepth)
        VELK_ERROR("Parcon Error: Maximum allowed depth for file includes is %d!", kMaxIncludeDepth);
}

bool Parcon::OpenInclude(const std::string& path) {
    CheckIncludeDepth();
    int32_t size = 0;
    const FileData data = LoadFile(path, &size, false);
    if (!data) return false;
    OpenText(path, std::string(data.get(), static_cast<std::size_t>(size)));
    return true;
}

void Parcon::OpenText(const std::string& path, std::string bytes) {
    CheckIncludeDepth();
    Slot& slot = slots_[++depth_];
    slot = Slot{};
    slot.path = std::make_shared<const std::string>(path);
    slot.bytes = std::move(bytes);
    DropByteOrderMark(slot.bytes);
}

// The next line of the slot's bytes, without its line feed; a line is cut at 8000
// characters and at a NUL byte, the text after either being dropped.
bool Parcon::ReadLine(Slot& slot) {
    if (slot.stream_pos >= slot.bytes.size()) return false;
    const std::string_view rest = std::string_view(slot.bytes).substr(slot.stream_pos);
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    slot.stream_pos = end == std::string_view::npos ? slot.bytes.size() : slot.stream_pos + end + 1;
    line = line.substr(0, std::min(line.find('\0'), kLineLimit));
    slot.line = line;
    slot.pos = 0;
    return true;
}

bool Parcon::NextTokenInSlot(Slot& slot) {
    for (;;) {
        const char c = slot.pos < slot.line.size() ? slot.line[slot.pos] : '\n';
        if (c == '\n' || c == '\r' || c == '#') {
            if (!ReadLine(slot)) return false;
        } else if (IsSpace(c)) {
            ++slot.pos;
        } else {
            break;
        }
    }
    token_.clear();
    const char c = slot.line[slot.pos];
    if (c == '"') {
        ReadQuoted(slot);
    } else if (IsBracket(c)) {
        token_ = c;
        ++slot.pos;
    } else {
        ReadWord(slot);
    }
    return true;
}

// Up to the closing quote or the end of the line; backslash-quote is one quote.
void Parcon::ReadQuoted(Slot& slot) {
    const std::string_view line = slot.line;
    std::size_t pos = slot.pos + 1;
    while (pos < line.size() && line[pos] != '"') {
        const bool escapedQuote = line[pos] == '\\' && pos + 1 < line.size() && line[pos + 1] == '"';
        if (escapedQuote) ++pos;
        token_ += line[pos++];
    }
    slot.pos = pos < line.size() ? pos + 1 : pos;
}

// A '#' or a quote inside a word belongs to it.
void Parcon::ReadWord(Slot& slot) {
    const std::string_view line = slot.line;
    const std::size_t start = slot.pos;
    std::size_t pos = start;
    while (pos < line.size() && !IsSpace(line[pos]) && !IsBracket(line[pos])) ++pos;
    token_.assign(line.substr(start, pos - start));
    slot.pos = pos;
}

// Reads on in the including file when an included one ends.
bool Parcon::NextToken() {
    while (depth_ >= 0) {
        if (NextTokenInSlot(slots_[depth_])) return true;
        slots_[depth_--] = Slot{};
    }
    return false;
}

ParconItem Parcon::MakeItem() const {
    ParconItem item;
    if (depth_ >= 0) item.source = slots_[depth_].path;
    return item;
}

std::unique_ptr<ParconList> Parcon::ParseList(bool openedByParen, bool isRoot) {
    if (nesting_ >= kMaxNesting) {
        const char* path = depth_ >= 0 ? slots_[depth_].path->c_str() : "";
        VELK_ERROR("Parcon Error: Lists nested deeper than %d levels in %s!", kMaxNesting, path);
    }
    ++nesting_;
    auto list = std::make_unique<ParconList>();
    if (!openedByParen) {
        ParconItem name = MakeItem();
        if (isRoot) name.text = "__root__";
        list->items.push_back(std::move(name));
    }
    // Brackets are compared as text, so a quoted bracket acts as one; either closes either kind.
    while (NextToken() && token_ != ")" && token_ != "]") {
        ParconItem item = MakeItem();
        if (token_ == "(" || token_ == "[") {
            item.kind = ParconItem::kList;
            item.list = ParseList(token_ == "(", false);
        } else {
            item.text = token_;
        }
        list->items.push_back(std::move(item));
    }
    --nesting_;
    return list;
}

const ParconItem* Parcon::Current(const ParconCursor& cursor) const {
    const auto& items = cursor.list->items;
    return cursor.index < items.size() ? &items[cursor.index] : nullptr;
}

bool Parcon::Advance(ParconCursor& cursor) const {
    if (cursor.index + 1 >= cursor.list->items.size()) return false;
    ++cursor.index;
    return true;
}

const char* Parcon::CurrentString(const ParconCursor& cursor) const {
    const ParconItem* item = Current(cursor);
    return item && item->kind == ParconItem::kWord && item->text ? item->text->c_str() : nullptr;
}

const ParconList* Parcon::CurrentItemText(const ParconCursor& cursor) const {
    const ParconItem* item = Current(cursor);
    return item && item->kind == ParconItem::kList ? item->list.get() : nullptr;
}

const char* Parcon::FirstItemValue(const ParconCursor& cursor) const {
    return CurrentString(ParconCursor{cursor.list, 0});
}

bool Parcon::HasNext(const ParconCursor& cursor) const {
    ParconCursor next = cursor;
    return Advance(next) && Current(next)->kind == ParconItem::kWord;
}

void Parcon::MoveToNext(ParconCursor& cursor) const {
    if (!Advance(cursor)) FailMoreDataExpected(cursor);
}

void Parcon::FailMoreDataExpected(const ParconCursor& cursor) const {
    const ParconItem* item = Current(cursor);
    const char* source = item && item->source ? item->source->c_str() : "";
    const char* value = CurrentString(cursor);
    const char* name = FirstItemValue(cursor);
    VELK_ERROR("Parcon Error: More data expected! Last read:\n\nFile: %s\nValue: %s\nList name: %s", source,
               value ? value : "(null)", name ? name : "bez nazwy");
}

const char* Parcon::NextString(ParconCursor& cursor) const {
    MoveToNext(cursor);
    return CurrentString(cursor);
}

float Parcon::NextFloat(ParconCursor& cursor, float fallback) const {
    MoveToNext(cursor);
    const char* text = CurrentString(cursor);
    return text ? TextToFloat(text) : fallback;
}

int Parcon::NextInt(ParconCursor& cursor) const {
    MoveToNext(cursor);
    const char* text = CurrentString(cursor);
    return text ? TextToInt(text) : 0;
}
