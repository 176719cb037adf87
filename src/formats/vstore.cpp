#include "formats/vstore.h"

#include "core/log.h"
#include "core/number_text.h"

namespace {

constexpr std::size_t kTokenLimit = 1023;

bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '"' || c == '-' ||
           c == '_' || c == '.';
}

bool IsMark(char c) { return c == '{' || c == '}' || c == '[' || c == ']'; }

bool IsQuoted(const std::string& text) { return text.front() == '"' && text.back() == '"'; }

void StripQuotes(std::string& text) {
    text.pop_back();
    text.erase(0, 1);
}

}  // namespace

// Splits the text into words, quoted texts and single brace or bracket marks. It reads
// a private copy ending in a line feed and a carriage return, so a last word always ends.
class VStoreNode::Tokenizer {
public:
    Tokenizer(const char* text, std::size_t length) {
        if (length > 0) text_.assign(text, length);
        text_ += "\n\r";
    }

    // The next token, or false when the text has none left. Counts the line feeds passed.
    bool Next(std::string& token, int32_t& line) {
        token.clear();
        while (pos_ < text_.size() && !IsWordChar(text_[pos_]) && !IsMark(text_[pos_]))
            if (text_[pos_++] == '\n') ++line;
        if (pos_ >= text_.size()) return false;
        if (IsMark(text_[pos_])) {
            Append(token, Take());
            return true;
        }
        if (text_[pos_] == '"') return ReadQuoted(token, line);
        ReadWord(token);
        return true;
    }

private:
    char Take() {
        if (pos_ >= text_.size()) VELK_ERROR("Parsing error: file seems incomplete");
        return text_[pos_++];
    }

    static void Append(std::string& token, char c) {
        if (token.size() >= kTokenLimit) VELK_ERROR("Parsing error: token buffer too small");
        token += c;
    }

    // A quote met inside a word is taken and ends it.
    void ReadWord(std::string& token) {
        while (IsWordChar(text_[pos_])) {
            const char c = Take();
            Append(token, c);
            if (c == '"') return;
        }
    }

    // Keeps the enclosing quotes; backslash-quote is one quote, and the character after
    // that pair is taken as it stands. A text that ends inside the quotes drops the token.
    bool ReadQuoted(std::string& token, int32_t& line) {
        Append(token, Take());
        while (pos_ < text_.size()) {
            char c = Take();
            if (c == '\\' && pos_ < text_.size() && text_[pos_] == '"') {
                ++pos_;
                Append(token, '"');
                c = Take();
            }
            if (c == '\n') ++line;
            Append(token, c);
            if (c == '"') return true;
        }
        token.clear();
        return false;
    }

    std::string text_;
    std::size_t pos_ = 0;
};

VStoreNode::~VStoreNode() {
    // A deep tree is torn down through a work list, not by recursion.
    std::vector<std::unique_ptr<VStoreNode>> pending;
    auto detachChildren = [&pending](VStoreNode& node) {
        for (auto& entry : node.children_) pending.push_back(std::move(entry.second));
        node.children_.clear();
    };
    detachChildren(*this);
    while (!pending.empty()) {
        const std::unique_ptr<VStoreNode> node = std::move(pending.back());
        pending.pop_back();
        detachChildren(*node);
    }
}

void VStoreNode::Parse(const char* text, std::size_t length, const char* name) {
    name_ = name;
    line_ = 0;
    parse_stack_.assign(1, this);
    Tokenizer tokens(text, length);
    std::string token;
    std::string value;
    while (tokens.Next(token, line_)) {
        VStoreNode& current = *parse_stack_.back();
        VStoreNode* opened = nullptr;
        if (current.is_list_) {
            if (token == "}") FailMismatch(']', '}');
            if (token == "]") {
                parse_stack_.pop_back();
                continue;
            }
            opened = current.AddElement(token);
        } else {
            if (token == "]") FailMismatch('}', ']');
            if (token == "}") {
                if (parse_stack_.size() == 1) FailUnbalanced();
                parse_stack_.pop_back();
                continue;
            }
            if (!tokens.Next(value, line_)) break;
            opened = current.AddPair(token, value);
        }
        if (opened) parse_stack_.push_back(opened);
    }
    // Nodes still open at the end stay in the tree as they are.
    parse_stack_.clear();
}

VStoreNode* VStoreNode::AddPair(std::string key, std::string value) {
    if (key.size() > 2 && IsQuoted(key)) StripQuotes(key);
    if (value == "{" || value == "[") {
        auto child = std::make_unique<VStoreNode>();
        child->is_list_ = value == "[";
        VStoreNode* const opened = child.get();
        children_[std::move(key)] = std::move(child);
        return opened;
    }
    if (value.size() > 1 && IsQuoted(value)) StripQuotes(value);
    values_[std::move(key)] = std::move(value);
    return nullptr;
}

VStoreNode* VStoreNode::AddElement(std::string value) {
    return AddPair(std::to_string(list_counter_++), std::move(value));
}

void VStoreNode::FailMismatch(char expected, char got) const {
    VELK_ERROR("Error parsing <%s>, line %d: expected '%c', got '%c'", name_.c_str(), line_ + 1, expected, got);
}

void VStoreNode::FailUnbalanced() const {
    VELK_ERROR("Error parsing <%s>, line %d: '}' without a matching '{'", name_.c_str(), line_ + 1);
}

VStoreNode* VStoreNode::GetChild(std::string_view key) const {
    const auto found = children_.find(key);
    return found == children_.end() ? nullptr : found->second.get();
}

const std::string* VStoreNode::FindValue(std::string_view key) const {
    const auto found = values_.find(key);
    return found == values_.end() ? nullptr : &found->second;
}

bool VStoreNode::GetString(std::string_view key, std::string& out) const {
    const std::string* value = FindValue(key);
    if (!value) return false;
    out = *value;
    return true;
}

bool VStoreNode::GetBool(std::string_view key, bool& out) const {
    const std::string* value = FindValue(key);
    if (!value) return false;
    out = *value == "true";
    return true;
}

bool VStoreNode::GetInt(std::string_view key, int32_t& out) const {
    const std::string* value = FindValue(key);
    if (!value) return false;
    out = TextToInt(value->c_str());
    return true;
}

std::string VStoreNode::GetStringOr(std::string_view key, const std::string& fallback) const {
    const std::string* value = FindValue(key);
    return value ? *value : fallback;
}

float VStoreNode::GetFloatOr(std::string_view key, float fallback) const {
    const std::string* value = FindValue(key);
    return value ? TextToFloat(value->c_str()) : fallback;
}
