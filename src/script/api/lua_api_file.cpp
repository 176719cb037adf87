#include "script/api/lua_api_file.h"

#include <string>

#include "formats/stringsloader.h"
#include "script/api/lua_api.h"
#include "script/lua_arguments.h"
#include "script/lua_base.h"
#include "storage/storage.h"
#include "storage/storage_path.h"

// Script errors jump straight out of these functions (see LuaErrorf): every one raises
// them before any object with a destructor is alive, and does its work in helpers that
// have returned by then.

namespace {

bool IsEmpty(const char* text) { return !text || !*text; }

// A string (or a number as its text) with its byte length, zeros included; empty otherwise.
const char* ReadBytesArgument(lua_State* L, int index, std::size_t& length) {
    length = 0;
    const int type = lua_type(L, index);
    return type == LUA_TSTRING || type == LUA_TNUMBER ? lua_tolstring(L, index, &length) : "";
}

int PushBoolean(lua_State* L, bool value) {
    lua_pushboolean(L, value);
    return 1;
}

struct Bytes {
    const char* data;
    std::size_t size;
};

int PushBytes(lua_State* L) {
    const auto* bytes = static_cast<const Bytes*>(lua_touserdata(L, 1));
    lua_pushlstring(L, bytes->data, bytes->size);
    return 1;
}

constexpr int kFileMissing = -1;

// The file's bytes as a string on the stack top: 0; kFileMissing; or the status of a
// failure to make the string, with its error on the top. The string is made in a
// protected call: running out of memory there must not jump past the file's buffer.
int PushFile(lua_State* L, const char* name) {
    lua_pushcfunction(L, PushBytes);
    int32_t size = 0;
    const FileData data = LoadFile(name, &size, false);
    if (!data) {
        lua_pop(L, 1);
        return kFileMissing;
    }
    Bytes bytes{data.get(), static_cast<std::size_t>(size)};
    lua_pushlightuserdata(L, &bytes);
    return lua_pcall(L, 1, 1, 0);
}

struct SearchResult {
    std::string prefix;  // for full names: the pattern's folder and "/"
    FileInfoMap found;
};

// Fills the table that is argument 1 from the result in argument 2. It runs protected:
// it can fail for want of memory while the result's strings are alive.
int FillSearchTable(lua_State* L) {
    const auto* result = static_cast<const SearchResult*>(lua_touserdata(L, 2));
    for (const auto& [name, info] : result->found) {
        lua_pushlstring(L, result->prefix.data(), result->prefix.size());
        lua_pushlstring(L, name.data(), name.size());
        lua_concat(L, 2);
        lua_pushnumber(L, info.size);
        lua_rawset(L, 1);
    }
    return 0;
}

// Pushes the table of matches; the status of filling it, with its error on the top.
int PushSearchResult(lua_State* L, const char* pattern, bool files, bool directories, bool fullNames) {
    lua_newtable(L);
    lua_pushcfunction(L, FillSearchTable);
    lua_pushvalue(L, -2);
    SearchResult result;
    const std::string normalized = NormalizePath(pattern);
    if (fullNames) result.prefix = GetDirectory(normalized) + "/";
    SearchFiles(normalized, result.found, files, directories);
    lua_pushlightuserdata(L, &result);
    return lua_pcall(L, 2, 0, 0);
}

// Names that would leave the writable folder are refused with a warning, never written.
bool Confined(const char* name) {
    if (StaysInside(name)) return true;
    VELK_WARNING("File name leaves the writable folder, refused: %s", name);
    return false;
}

// The writable container when the names can be used there, else null.
const FileSystemContainer* WritableFor(const char* name) {
    if (IsEmpty(name) || !Confined(name)) return nullptr;
    return GetWritableContainer();
}

// The loader's strings are alive while it stores, so it stores into a fresh table, where
// no script code runs (and no error can jump past them); the entries then go into the
// script's table with its own set-field, whose metatable may do anything, even fail.
void CopyFields(lua_State* L, int from, int to) {
    lua_pushnil(L);
    while (lua_next(L, from)) {
        lua_pushvalue(L, -2);
        lua_insert(L, -2);
        lua_settable(L, to);
    }
}

bool Exists(const char* name, bool files, bool directories) {
    FileInfo info;
    if (!FileExists(name, &info)) return false;
    return info.size == -1 ? directories : files;
}

}  // namespace

int Api_file_add_directory_storage(lua_State* L) {
    const char* path = ReadStringArgument(L, 1);
    if (!path) return LuaErrorf(L, "Missing storage name");
    AddDirectoryStorage(path, false, true);
    return 0;
}

int Api_file_add_pack_storage(lua_State* L) {
    const char* path = ReadStringArgument(L, 1);
    if (!path) return LuaErrorf(L, "Missing storage name");
    AddPackStorage(path, "", true);
    return 0;
}

// A script that fails to load is fatal, so whenever a name is given this returns true.
int Api_file_load_lua(lua_State* L) {
    const char* name = ReadStringArgument(L, 1);
    return PushBoolean(L, !IsEmpty(name) && LuaDoFile(name));
}

int Api_file_load_strings(lua_State* L) {
    const char* table = ReadStringArgument(L, 1);
    const char* file = ReadStringArgument(L, 2);
    if (IsEmpty(file)) return LuaErrorf(L, "Can't load strings - file name is empty!");
    lua_getglobal(L, table ? table : "");
    // The loader stores into whatever is on top; anything but a table would fail there.
    if (!lua_istable(L, -1)) return LuaErrorf(L, "Can't load strings from %s - %s is not a table!", file, table ? table : "(none)");
    const int target = lua_gettop(L);
    lua_newtable(L);
    LoadStringsFile(L, file);
    CopyFields(L, target + 1, target);
    lua_pop(L, 2);
    return 0;
}

int Api_file_load(lua_State* L) {
    const char* name = ReadStringArgument(L, 1);
    if (IsEmpty(name)) return LuaErrorf(L, "Can't open - file name is empty!");
    const int status = PushFile(L, name);
    if (status == kFileMissing) return LuaErrorf(L, "Can't find file %s!", name);
    return status == 0 ? 1 : lua_error(L);
}

int Api_file_save(lua_State* L) {
    const char* name = ReadStringArgument(L, 1);
    if (IsEmpty(name)) return LuaErrorf(L, "Can't save - file name is empty!");
    const FileSystemContainer* writable = GetWritableContainer();
    if (!writable) return LuaErrorf(L, "Can't save %s - there is no writable folder!", name);
    if (!StaysInside(name)) return LuaErrorf(L, "Can't save %s - not a file name inside the writable folder!", name);
    std::size_t length = 0;
    const char* data = ReadBytesArgument(L, 2, length);
    writable->Save(name, data, length, true, true, ReadBooleanArgument(L, 3, false));
    return 0;
}

int Api_file_remove(lua_State* L) {
    const char* pattern = ReadStringArgument(L, 1);
    const FileSystemContainer* writable = WritableFor(pattern);
    lua_pushnumber(L, writable ? writable->DeleteFiles(pattern) : 0);
    return 1;
}

// Never replaces an existing file: the new name taken means false.
int Api_file_rename(lua_State* L) {
    const char* from = ReadStringArgument(L, 1);
    const char* to = ReadStringArgument(L, 2);
    const FileSystemContainer* writable = WritableFor(from);
    return PushBoolean(L, writable && WritableFor(to) && writable->Rename(from, to));
}

int Api_file_exists(lua_State* L) {
    const char* name = ReadStringArgument(L, 1);
    const bool files = ReadBooleanArgument(L, 2, true);
    const bool directories = ReadBooleanArgument(L, 3, true);
    return PushBoolean(L, !IsEmpty(name) && Exists(name, files, directories));
}

int Api_file_search(lua_State* L) {
    const char* pattern = ReadStringArgument(L, 1);
    const int status = PushSearchResult(L, pattern ? pattern : "", ReadBooleanArgument(L, 2, true),
                                        ReadBooleanArgument(L, 3, true), ReadBooleanArgument(L, 4, false));
    return status == 0 ? 1 : lua_error(L);
}

int Api_file_create_directory(lua_State* L) {
    const char* name = ReadStringArgument(L, 1);
    const FileSystemContainer* writable = WritableFor(name);
    return PushBoolean(L, writable && writable->CreateDirectory(name));
}

int Api_file_remove_directory(lua_State* L) {
    const char* name = ReadStringArgument(L, 1);
    const FileSystemContainer* writable = WritableFor(name);
    return PushBoolean(L, writable && writable->RemoveDirectory(name, ReadBooleanArgument(L, 2, false)));
}
