// The Parcon reader on any bytes, then a cursor walk over the whole tree.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/parcon.h"
#include "fuzz_support.h"

namespace {

// Reads every value of every list the way the loaders do, without recursion.
void Walk(const Parcon& reader, const ParconList& root) {
    std::vector<const ParconList*> pending = {&root};
    while (!pending.empty()) {
        ParconCursor cursor{pending.back(), 0};
        pending.pop_back();
        (void)reader.FirstItemValue(cursor);
        while (reader.HasNext(cursor)) (void)reader.NextFloat(cursor, 0.0f);
        while (reader.Advance(cursor))
            if (const ParconList* list = reader.CurrentItemText(cursor)) pending.push_back(list);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    RunFuzzInput([&] {
        Parcon reader;
        reader.OpenText("fuzz.txt", std::string(reinterpret_cast<const char*>(data), size));
        const auto root = reader.ParseList(false, true);
        Walk(reader, *root);
        ParconCursor last{root.get(), root->items.size() - 1};
        (void)reader.NextInt(last);  // always past the end: the "More data expected" error
    });
    return 0;
}
