// The string-table loader on any bytes, into a real script table.
#include <cstddef>
#include <cstdint>
#include <string>

#include <lua.hpp>

#include "formats/stringsloader.h"
#include "fuzz_support.h"

namespace {

class BytesSource : public StreamStringsSource {
public:
    BytesSource(const uint8_t* data, std::size_t size) : bytes_(reinterpret_cast<const char*>(data), size) {}
    bool Open(const std::string&) override {
        OpenBytes(bytes_);
        return true;
    }

private:
    std::string bytes_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static lua_State* const L = luaL_newstate();
    lua_settop(L, 0);
    lua_newtable(L);
    RunFuzzInput([&] {
        BytesSource source(data, size);
        ParseStrings(L, source, "fuzz.txt");
    });
    return 0;
}
