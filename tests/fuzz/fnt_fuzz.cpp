// The ".fnt" reader on any bytes, then the layout of a text in every alignment over what
// it read.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "text/font_description.h"
#include "text/old_font_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    RunFuzzInput([&] {
        FontDescription font;
        std::string reason;
        const std::string_view bytes(reinterpret_cast<const char*>(data), size);
        if (!ParseFontDescription(bytes, "fuzz.fnt", font, reason)) return;
        static const char16_t kText[] = u"AB cd\nEF! \u4E00\u3002 (x) [y] #z";
        OldTextLayout layout;
        OldTextRequest request;
        request.units = kText;
        request.unitCount = static_cast<int>(std::size(kText) - 1);
        request.boxWidth = static_cast<float>(size % 97);
        request.boxHeight = static_cast<float>(size % 31);
        request.asianWrapping = size % 2 == 0;
        for (int flags : {0x9, 0x2 | 0x10 | 0x1000, 0x4 | 0x20 | 0x100 | 0x800 | 0x3000}) {
            request.flags = flags;
            LayOutOldText(font, 1.0f, request, layout);
        }
    });
    return 0;
}
