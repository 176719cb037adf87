// Throughput of the data-file readers on generated texts of a few megabytes each.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include <lua.hpp>

#include "formats/parcon.h"
#include "formats/stringsloader.h"
#include "formats/vstore.h"

namespace {

constexpr int kRepeats = 5;

std::string Repeat(const std::string& piece, std::size_t bytes) {
    std::string text;
    text.reserve(bytes + piece.size());
    while (text.size() < bytes) text += piece;
    return text;
}

// The best of a few runs, in megabytes per second.
void Measure(const char* name, const std::string& text, const std::function<void()>& parse) {
    double best = 1e30;
    for (int i = 0; i < kRepeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        parse();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::printf("%-14s %6.1f MB in %7.2f ms: %7.1f MB/s\n", name, text.size() / 1e6, best * 1e3,
                text.size() / 1e6 / best);
}

class TextSource : public StreamStringsSource {
public:
    explicit TextSource(const std::string& text) : text_(text) {}
    bool Open(const std::string&) override {
        OpenBytes(text_);
        return true;
    }

private:
    const std::string& text_;
};

}  // namespace

int main() {
    constexpr std::size_t kBytes = 8 << 20;
    const std::string config = Repeat("section { width = 1024 title \"A quoted value\" list [ 1 2 3 ] }\n", kBytes);
    Measure("vstore", config, [&] {
        VStoreNode root;
        root.Parse(config.data(), config.size(), "bench.cfg");
    });

    const std::string effect = Repeat("(emitter (color 1 0.5 0.25 1) (speed 10 20) \"name\") # note\n", kBytes);
    Measure("parcon", effect, [&] {
        Parcon reader;
        reader.OpenText("bench.txt", effect);
        const auto root = reader.ParseList(false, true);
    });

    const std::string strings = Repeat("menu_title = Hello\\nworld\n# comment\nlong = @@two\nlines@@\n", kBytes);
    lua_State* L = luaL_newstate();
    Measure("stringsloader", strings, [&] {
        lua_settop(L, 0);
        lua_newtable(L);
        TextSource source(strings);
        ParseStrings(L, source, "bench.txt");
    });
    lua_close(L);
    return 0;
}
