// The bracketed key/value reader on any bytes, then every getter on every value.
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/vstore.h"
#include "fuzz_support.h"

namespace {

void ReadAll(const VStoreNode& node) {
    for (const auto& [key, value] : node.Values()) {
        bool flag = false;
        int32_t number = 0;
        std::string text;
        node.GetBool(key, flag);
        node.GetInt(key, number);
        node.GetString(key, text);
        (void)node.GetFloatOr(key, 0.0f);
        (void)node.GetChild(key);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    RunFuzzInput([&] {
        VStoreNode root;
        // Parsed in place: the reader must not need a terminator.
        root.Parse(reinterpret_cast<const char*>(data), size, "fuzz.cfg");
        ReadAll(root);
        if (const VStoreNode* list = root.GetChild("0")) ReadAll(*list);
    });
    return 0;
}
