#pragma once
// The bracketed key/value format of "config.cfg" and the font definitions: a tree of
// nodes, each mapping keys to value texts and keys to child nodes ("{ }" opens a
// child node, "[ ]" a list whose elements get the keys "0", "1", ...).
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class VStoreNode {
public:
    using ValueMap = std::map<std::string, std::string, std::less<>>;

    VStoreNode() = default;
    ~VStoreNode();
    VStoreNode(const VStoreNode&) = delete;
    VStoreNode& operator=(const VStoreNode&) = delete;

    // Parses text (not necessarily terminated) into this node; name is shown in
    // error messages. Malformed input is a fatal error.
    void Parse(const char* text, std::size_t length, const char* name);

    // The parent keeps ownership.
    VStoreNode* GetChild(std::string_view key) const;
    // Each getter returns false and leaves out untouched when the key has no value.
    bool GetString(std::string_view key, std::string& out) const;
    // True only for the exact text "true".
    bool GetBool(std::string_view key, bool& out) const;
    // The leading decimal number of the text, 0 when there is none.
    bool GetInt(std::string_view key, int32_t& out) const;
    std::string GetStringOr(std::string_view key, const std::string& fallback) const;
    float GetFloatOr(std::string_view key, float fallback) const;

    // Values in key order (bytewise), as a list's elements are enumerated.
    const ValueMap& Values() const { return values_; }
    // Child nodes in key order (bytewise).
    const std::map<std::string, std::unique_ptr<VStoreNode>, std::less<>>& Children() const { return children_; }
    bool IsList() const { return is_list_; }

private:
    class Tokenizer;

    const std::string* FindValue(std::string_view key) const;
    // Both return the child node that the value opened, or null.
    VStoreNode* AddPair(std::string key, std::string value);
    VStoreNode* AddElement(std::string value);
    [[noreturn]] void FailMismatch(char expected, char got) const;
    [[noreturn]] void FailUnbalanced() const;

    ValueMap values_;
    std::map<std::string, std::unique_ptr<VStoreNode>, std::less<>> children_;
    std::string name_;
    std::vector<VStoreNode*> parse_stack_;
    int32_t line_ = 0;
    bool is_list_ = false;
    int32_t list_counter_ = 0;
};
