// Scripts must never crash the engine: every engine global function and every method of
// every script class is called with hostile arguments. Each target runs in a forked child
// of the prepared engine; a call may end the child only the way the engine ends by design
// (a fatal error: "Wrong argument for function", a missing file, a script error inside a
// callback), after which the sweep goes on in a fresh child with the next call. A signal,
// a sanitizer report, a leak or a hang is a fault.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/crash.h"
#include "fixtures/engine_frame.h"
#include "fixtures/failing_allocator.h"
#include "fixtures/image_fixtures.h"
#include "fixtures/temp_dir.h"
#include "hostile_calls.lua.h"
#include "script/api/lua_api.h"
#include "script/api/lua_api_effects.h"
#include "script/lua_base.h"
#include "script/lua_bound.h"
#include "storage/storage.h"
#include "text/true_text.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

constexpr int kEndMarker = -1;
// A child still busy after this long is hung: generous, since the sanitized suite shares the
// machine with seven other test programs, and a child's range can hold hundreds of screenshots,
// each a 3 MB file written and synchronised (80 ms apiece on a quiet machine here, 350 ms
// with the disk busy).
constexpr int kChildHangSeconds = 180;
constexpr int kExitLeak = 23;
// The targets of a group are swept by this many processes side by side.
constexpr int kWorkers = 2;

struct Fault {
    std::string call;
    std::string how;
    std::string output;
};

// The names of the globals that are there now.
std::set<std::string> GlobalNames(lua_State* L) {
    std::set<std::string> names;
    lua_pushnil(L);
    while (lua_next(L, LUA_GLOBALSINDEX)) {
        if (lua_type(L, -2) == LUA_TSTRING) names.insert(lua_tostring(L, -2));
        lua_pop(L, 1);
    }
    return names;
}

// What the frame does to the script state outside the script's own calls: the engine
// tables refreshed, the optional entry points of a focus change.
int RefreshAsTheFrameDoes(lua_State*) {
    UpdateMouseTables();
    UpdateEngineStats();
    LuaOnLostFocus();
    LuaOnRegainedFocus();
    return 0;
}

bool WriteAll(int fd, int value) { return write(fd, &value, sizeof value) == static_cast<ssize_t>(sizeof value); }

// The target indices of a group ("functions" or a class name).
std::vector<int> GroupTargets(lua_State* L, const std::string& group) {
    std::vector<int> targets;
    lua_getglobal(L, "hostile_group_targets");
    lua_pushstring(L, group.c_str());
    if (lua_pcall(L, 1, 1, 0) != 0) return targets;
    for (int i = 1; i <= static_cast<int>(lua_objlen(L, -1)); ++i) {
        lua_rawgeti(L, -1, i);
        targets.push_back(static_cast<int>(lua_tointeger(L, -1)));
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    return targets;
}

class HostileCalls : public testing::Test {
protected:
    void SetUp() override {
        // A forked child has no thread but the one that forked: the rasteriser must not
        // count on workers.
        setenv("VELK_RASTER_THREADS", "1", 1);
        StartEngineFrameTest();
        g_config.create_log = true;
        if (trueText) {
            g_config.true_text = true;
            data.Write("fonts/system.fn2", "font = system\n");
            TrueText_Init();
        }
        for (int worker = 0; worker < kWorkers; ++worker)
            std::filesystem::create_directories(sandbox / ("worker_" + std::to_string(worker)) / "user");
        data.Write("script.lua", "hostile_loaded = true\n");
        data.Write("b.png", EncodeImage(FixtureFormat::Png, 8, 8, 4, PatternPixels(8, 8, 4)));
        data.Write("p.txt", "(generator (texture b) (particle_limit 8) (flow 0 20) (burst 0 3) (blending add))");
        // A nine-patch sheet: 2 x 2 patches around an 8 x 8 area.
        data.Write("fb.png", EncodeImage(FixtureFormat::Png, 8, 8, 4, PatternPixels(8, 8, 4)));
        data.Write("fb.txt", "lt 0 0 2 2 0 0\nmt 2 0 4 2 0 0\nrt 6 0 2 2 0 0\nlm 0 2 2 4 0 0\nmm 2 2 4 4 0 0\n"
                             "rm 6 2 2 4 0 0\nlb 0 6 2 2 0 0\nmb 2 6 4 2 0 0\nrb 6 6 2 2 0 0\narea 0 0 8 8 4 4\n");
        ASSERT_TRUE(AddDirectoryStorage(data.path().string(), false, false));
        L = LuaGetState();
        const std::set<std::string> before = GlobalNames(L);
        RegisterLuaApi();
        for (const std::string& name : GlobalNames(L))
            if (!before.count(name)) engineGlobals.push_back(name);
        lua_pushlightuserdata(L, reinterpret_cast<void*>(0x10));
        lua_setglobal(L, "hostile_light");
        lua_pushlightuserdata(L, nullptr);
        lua_setglobal(L, "hostile_null");
        lua_register(L, "hostile_engine_refresh", RefreshAsTheFrameDoes);
        ASSERT_EQ(luaL_loadstring(L, kHostileScript), 0) << lua_tostring(L, -1);
        lua_createtable(L, static_cast<int>(engineGlobals.size()), 0);
        for (std::size_t i = 0; i < engineGlobals.size(); ++i) {
            lua_pushstring(L, engineGlobals[i].c_str());
            lua_rawseti(L, -2, static_cast<int>(i + 1));
        }
        ASSERT_EQ(lua_pcall(L, 1, 0, 0), 0) << lua_tostring(L, -1);
    }
    void TearDown() override {
        TrueText_Destroy();
        ShutdownStorage();
        EndEngineFrameTest();
    }

    int GlobalInt(const char* name) {
        lua_getglobal(L, name);
        const int value = static_cast<int>(lua_tointeger(L, -1));
        lua_pop(L, 1);
        return value;
    }
    // The hostile calls of the target, then those made while memory runs out.
    int CallCount(int target) { return CallInt("hostile_call_count", {target}) + GlobalInt("hostile_scarce_count"); }
    std::string Describe(int target, int call) {
        const int hostileCalls = CallInt("hostile_call_count", {target});
        if (call <= hostileCalls) return CallText("hostile_describe", {target, call});
        return CallText("hostile_scarce_describe", {target, call - hostileCalls});
    }

    int CallInt(const char* function, std::initializer_list<int> arguments) {
        lua_getglobal(L, function);
        for (const int argument : arguments) lua_pushinteger(L, argument);
        EXPECT_EQ(lua_pcall(L, static_cast<int>(arguments.size()), 1, 0), 0);
        const int value = static_cast<int>(lua_tointeger(L, -1));
        lua_pop(L, 1);
        return value;
    }
    std::string CallText(const char* function, std::initializer_list<int> arguments) {
        lua_getglobal(L, function);
        for (const int argument : arguments) lua_pushinteger(L, argument);
        EXPECT_EQ(lua_pcall(L, static_cast<int>(arguments.size()), 1, 0), 0);
        std::string text = lua_isstring(L, -1) ? lua_tostring(L, -1) : "?";
        lua_pop(L, 1);
        return text;
    }

    // In the child: the calls `first` to `last`, each announced on the pipe before it
    // runs; then the state is closed (every object deleted) and, under the sanitizer,
    // leaks are looked for.
    [[noreturn]] void RunChild(int target, int first, int last, int pipeOut, const std::string& outputPath) {
        const int output = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (output >= 0) dup2(output, STDERR_FILENO);
        alarm(kChildHangSeconds);
        const int hostileCalls = CallInt("hostile_call_count", {target});
        for (int call = first; call <= last; ++call) {
            WriteAll(pipeOut, call);
            if (call <= hostileCalls) {
                lua_getglobal(L, "hostile_call");
                lua_pushinteger(L, target);
                lua_pushinteger(L, call);
                lua_call(L, 2, 0);
            } else {
                CallWithScarceMemory(target, call - hostileCalls);
            }
            lua_settop(L, 0);
        }
        lua_pushnil(L);
        lua_setglobal(L, "hostile_keep");
        lua_pushnil(L);
        lua_setglobal(L, "targets");
        LuaCloseState();
        // The particle systems and masks the scripts still held, as the engine's shutdown frees them.
        ForgetEffectHandles();
#if defined(__SANITIZE_ADDRESS__)
        if (__lsan_do_recoverable_leak_check() != 0) _exit(kExitLeak);
#endif
        WriteAll(pipeOut, kEndMarker);
        _exit(0);
    }

    // Scarce call s of the target: its function and arguments are pushed with memory to
    // spare, then it runs with a few allocations granted.
    void CallWithScarceMemory(int target, int scarce) {
        lua_getglobal(L, "hostile_scarce_push");
        lua_pushinteger(L, target);
        lua_pushinteger(L, scarce);
        lua_call(L, 2, LUA_MULTRET);
        const int arguments = lua_gettop(L) - 1;
        const int granted = (scarce - 1) % GlobalInt("hostile_scarce_tries");
        const FailingAllocations failing(L, granted);
        lua_pcall(L, arguments, 0, 0);
    }

    // The last call announced and how the child ended.
    struct ChildEnd {
        int lastCall = 0;
        bool finished = false;
        int status = 0;

        bool clean() const { return finished && WIFEXITED(status) && WEXITSTATUS(status) == 0; }
        bool fatal() const { return !finished && WIFEXITED(status) && WEXITSTATUS(status) == kExitFatal; }
        bool leaked() const { return WIFEXITED(status) && WEXITSTATUS(status) == kExitLeak; }
    };
    ChildEnd RunRange(int target, int first, int last, const std::string& outputPath) {
        int fds[2];
        if (pipe(fds) != 0) return {};
        std::fflush(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            RunChild(target, first, last, fds[1], outputPath);
        }
        close(fds[1]);
        ChildEnd end;
        int value = 0;
        while (read(fds[0], &value, sizeof value) == static_cast<ssize_t>(sizeof value)) {
            if (value == kEndMarker) {
                end.finished = true;
            } else {
                end.lastCall = value;
            }
        }
        close(fds[0]);
        waitpid(pid, &end.status, 0);
        return end;
    }

    static std::string ReadOutput(const std::string& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        std::string all = text.str();
        return all.size() > 4000 ? all.substr(0, 4000) + "\n..." : all;
    }

    // "file, LINE n: message" of the fatal error the child logged.
    static std::string FatalText(const std::string& path) {
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("ERROR AT ", 0) != 0) continue;
            std::string message;
            std::getline(in, message);
            // One line per kind of message: names and paths left out.
            static const std::regex detail("found: .*|'[^']*'|/tmp/\\S*| of \\w+ type");
            return line.substr(9) + " " + std::regex_replace(message, detail, "_").substr(0, 80);
        }
        return "(no fatal text)";
    }

    static std::string HowItEnded(const ChildEnd& end) {
        if (WIFSIGNALED(end.status)) {
            const int signal = WTERMSIG(end.status);
            return signal == SIGALRM ? "hang" : std::string("signal ") + std::to_string(signal);
        }
        return "exit status " + std::to_string(WEXITSTATUS(end.status));
    }

    // A leak is only seen once the state is closed: halve the range of calls until one
    // call (or the two halves together) is left.
    std::string LocateLeak(int target, int first, int last, const std::string& outputPath) {
        while (first < last) {
            const int middle = first + (last - first) / 2;
            if (RunRange(target, first, middle, outputPath).leaked()) {
                last = middle;
            } else if (RunRange(target, middle + 1, last, outputPath).leaked()) {
                first = middle + 1;
            } else {
                break;
            }
        }
        if (first == last) return Describe(target, first);
        return CallText("hostile_target_name", {target}) + ", calls " + std::to_string(first) + " to " +
               std::to_string(last) + " together";
    }

    struct Results {
        std::vector<Fault> faults;
        std::map<std::string, int> fatal;
        int calls = 0;
    };

    void SweepTarget(int target, Results& results, const std::string& outputPath) {
        const int count = CallCount(target);
        int first = 1;
        while (first <= count + 1) {
            const ChildEnd end = RunRange(target, first, count, outputPath);
            if (end.clean()) break;
            const int culprit = end.lastCall < first ? first : end.lastCall;
            if (end.fatal()) {
                ++results.fatal[FatalText(outputPath)];
            } else if (end.leaked()) {
                const std::string output = ReadOutput(outputPath);
                results.faults.push_back({LocateLeak(target, first, count, outputPath), "leak", output});
                break;
            } else {
                const std::string call =
                    culprit > count ? CallText("hostile_target_name", {target}) + " at the close of the state"
                                    : Describe(target, culprit);
                results.faults.push_back({call, HowItEnded(end), ReadOutput(outputPath)});
            }
            first = culprit + 1;
        }
        results.calls += count;
    }

    // Worker w of n sweeps the targets w, w + n, ... of the list and writes what it found.
    [[noreturn]] void RunWorker(int worker, int workers, const std::vector<int>& targets, const std::string& resultPath) {
        Results results;
        // Files the calls save stay in the worker's own folders.
        ShutdownStorage();
        const std::string folder = (sandbox / ("worker_" + std::to_string(worker))).string();
        AddDirectoryStorage(folder + "/user", true, false);
        AddDirectoryStorage(data.path().string(), false, false);
        const std::string outputPath = folder + "/child_output.txt";
        for (std::size_t i = static_cast<std::size_t>(worker); i < targets.size(); i += static_cast<std::size_t>(workers))
            SweepTarget(targets[i], results, outputPath);
        std::ofstream out(resultPath, std::ios::binary);
        out << results.calls << '\n';
        for (const auto& [text, times] : results.fatal) WriteRecord(out, 'T', std::to_string(times), text, "");
        for (const Fault& fault : results.faults) WriteRecord(out, 'F', fault.call, fault.how, fault.output);
        out.close();
        _exit(out ? 0 : 1);
    }

    static void WriteRecord(std::ostream& out, char kind, const std::string& a, const std::string& b,
                            const std::string& c) {
        out << kind << ' ' << a.size() << ' ' << b.size() << ' ' << c.size() << '\n' << a << b << c;
    }

    static bool ReadWorkerResults(const std::string& path, Results& results) {
        std::ifstream in(path, std::ios::binary);
        int calls = 0;
        if (!(in >> calls)) return false;
        results.calls += calls;
        char kind = 0;
        std::size_t sizes[3] = {};
        while (in >> kind >> sizes[0] >> sizes[1] >> sizes[2]) {
            in.get();
            std::string parts[3];
            for (int i = 0; i < 3; ++i) {
                parts[i].resize(sizes[i]);
                in.read(parts[i].data(), static_cast<std::streamsize>(sizes[i]));
            }
            if (kind == 'T') {
                results.fatal[parts[1]] += std::stoi(parts[0]);
            } else {
                results.faults.push_back({parts[0], parts[1], parts[2]});
            }
        }
        return true;
    }

    Results Sweep(const std::vector<int>& targets, int workers) {
        std::vector<pid_t> pids;
        for (int worker = 0; worker < workers; ++worker) {
            std::fflush(nullptr);
            const pid_t pid = fork();
            if (pid == 0) RunWorker(worker, workers, targets, ResultPath(worker));
            pids.push_back(pid);
        }
        Results results;
        for (int worker = 0; worker < workers; ++worker) {
            int status = 0;
            waitpid(pids[static_cast<std::size_t>(worker)], &status, 0);
            if (!ReadWorkerResults(ResultPath(worker), results))
                results.faults.push_back({"worker " + std::to_string(worker), "ended without results", ""});
        }
        return results;
    }

    std::string ResultPath(int worker) const { return (sandbox / ("results_" + std::to_string(worker))).string(); }

    // Every call runs once more with TrueText on, for the groups that draw text.
    void SweepGroup(const char* group) {
        const std::vector<int> targets = GroupTargets(L, group);
        if (targets.empty()) GTEST_SKIP() << group << " is not registered";
        const Results results = Sweep(targets, kWorkers);
        std::printf("hostile calls to %s%s: %zu targets, %d calls, %zu faults; fatal errors by design:\n", group,
                    trueText ? " (TrueText)" : "", targets.size(), results.calls, results.faults.size());
        for (const auto& [text, times] : results.fatal) std::printf("  %6d  %s\n", times, text.c_str());
        for (const Fault& fault : results.faults) ADD_FAILURE() << fault.call << ": " << fault.how << "\n" << fault.output;
    }

    bool trueText = false;
    TempDir sandbox;  // a writable folder per worker
    TempDir data;
    lua_State* L = nullptr;
    std::vector<std::string> engineGlobals;
};

// The global functions, then every script class the engine can have; a class that is
// not registered yet is skipped.
const char* const kGroups[] = {
    "functions", "Scene", "Layer", "GameObject", "AnimatedBitmapComponent", "AnimatedGridComponent",
    "BitmapComponent", "BoxShapeComponent", "CircleShapeComponent", "FluidBoxComponent", "MaskShapeComponent",
    "ParticleComponent", "RectangleComponent", "ScriptComponent", "TextComponent", "VideoPlayerComponent",
};

class HostileGroup : public HostileCalls, public testing::WithParamInterface<const char*> {};

TEST_P(HostileGroup, NoCallCrashesLeaksOrHangs) { SweepGroup(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Sweep, HostileGroup, testing::ValuesIn(kGroups),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

// The groups that lay out and draw text, with TrueText on: the flat functions (the text
// functions among them) and the text component.
class HostileTrueTextGroup : public HostileCalls, public testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        trueText = true;
        HostileCalls::SetUp();
    }
};

TEST_P(HostileTrueTextGroup, NoCallCrashesLeaksOrHangs) { SweepGroup(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Sweep, HostileTrueTextGroup, testing::Values("functions", "TextComponent"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

// A class registered later joins the sweep only through the list above.
TEST_F(HostileCalls, EveryRegisteredClassIsSwept) {
    lua_getglobal(L, "hostile_classes");
    for (int i = 1; i <= static_cast<int>(lua_objlen(L, -1)); ++i) {
        lua_rawgeti(L, -1, i);
        const std::string name = lua_tostring(L, -1);
        lua_pop(L, 1);
        EXPECT_NE(std::find(std::begin(kGroups), std::end(kGroups), name), std::end(kGroups)) << name;
    }
    lua_pop(L, 1);
}

}  // namespace
