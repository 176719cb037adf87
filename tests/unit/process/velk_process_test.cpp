// The real executable, run as a user would run it.
#include <fcntl.h>
#include <signal.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fixtures/temp_dir.h"

namespace {

using namespace std::chrono_literals;

// A game that runs until it is told to stop; files a test wrote itself are kept.
void WriteMinimalGame(const TempDir& dir) {
    if (!std::filesystem::exists(dir / "game/config.cfg")) dir.Write("game/config.cfg", "");
    if (!std::filesystem::exists(dir / "game/data/init.lua"))
        dir.Write("game/data/init.lua",
                  "function boot() end\nfunction init() end\nfunction update(dt) end\nfunction render() end\n");
}

// Who runs a copy: without a runtime folder its lock lies in /tmp; another user owns
// the game folder it is given.
struct RunAs {
    std::optional<uid_t> user;
    bool runtimeFolder = true;
};

void GiveTo(const std::filesystem::path& folder, uid_t user) {
    ASSERT_EQ(chown(folder.c_str(), user, user), 0);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        ASSERT_EQ(lchown(entry.path().c_str(), user, user), 0) << entry.path();
}

class VelkProcess {
public:
    VelkProcess(const TempDir& dir, std::vector<std::string> arguments, const std::string& videoDriver = "dummy",
                bool withGame = true, const RunAs& as = {})
        : dir_(dir), stderr_name_("stderr-" + std::to_string(++count_) + ".txt") {
        const std::string stderrPath = (dir / stderr_name_).string();
        const std::string gamePath = (dir / "game").string();
        arguments.insert(arguments.begin(), VELK_EXECUTABLE);
        std::vector<char*> argv;
        for (std::string& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> environment = {"SDL_VIDEODRIVER=" + videoDriver, "VELK_HEADLESS=1", "ALSOFT_DRIVERS=null",
                                                "HOME=" + dir.path().string()};
        if (as.runtimeFolder) environment.push_back("XDG_RUNTIME_DIR=" + (dir / "run").string());
        std::vector<char*> envp;
        for (std::string& e : environment) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::filesystem::create_directories(dir / "run");
        std::filesystem::create_directories(dir / "game");
        if (withGame) WriteMinimalGame(dir);
        if (as.user) GiveTo(dir.path(), *as.user);
        pid_ = fork();
        EXPECT_GE(pid_, 0);
        if (pid_ == 0) {
            const int err = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            const bool ready = err >= 0 && dup2(err, 2) == 2 && chdir(gamePath.c_str()) == 0;
            const bool becameUser = !as.user || (setgroups(0, nullptr) == 0 && setgid(*as.user) == 0 && setuid(*as.user) == 0);
            if (ready && becameUser) execve(VELK_EXECUTABLE, argv.data(), envp.data());
            _exit(127);
        }
    }
    ~VelkProcess() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    VelkProcess(const VelkProcess&) = delete;
    VelkProcess& operator=(const VelkProcess&) = delete;

    // The wait status, or -1 when it is still running after the timeout.
    int Wait(std::chrono::milliseconds timeout = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return status;
            }
            std::this_thread::sleep_for(5ms);
        }
        return -1;
    }
    void Signal(int signal) const { kill(pid_, signal); }
    std::string Stderr() const { return dir_.Read(stderr_name_); }

private:
    static inline int count_ = 0;
    const TempDir& dir_;
    std::string stderr_name_;
    pid_t pid_ = -1;
    bool exited_ = false;
};

bool ExitedWith(int status, int code) { return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == code; }

// True once some process holds the game's single-instance lock.
bool LockHeld(const TempDir& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(dir / "run")) {
        const int fd = open(entry.path().c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) continue;
        const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
        close(fd);
        if (held) return true;
    }
    return false;
}

bool WaitForLock(const TempDir& dir) {
    for (int i = 0; i < 1000; ++i) {
        if (LockHeld(dir)) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

TEST(VelkProcess, VersionPrintsTheVersionTextAndStartsNothing) {
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"version"}, {"config=x.cfg", "VERSION", "more"}}) {
        TempDir dir;
        VelkProcess velk(dir, arguments);
        ASSERT_TRUE(ExitedWith(velk.Wait(), 0)) << velk.Stderr();
        EXPECT_THAT(velk.Stderr(), ::testing::StartsWith("[Version info] Velk Engine Version: 3.X\nBuild date: "));
        EXPECT_THAT(velk.Stderr(), ::testing::HasSubstr("\nRevision id: "));
        EXPECT_TRUE(std::filesystem::is_empty(dir / "run")) << "no single-instance lock: nothing started";
    }
}

TEST(VelkProcess, TerminateSignalEndsThroughTheShutdownSequence) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        TempDir dir;
        dir.Write("game/config.cfg", "create_log = true\nportable = true\nconfirm_exit = true\n");
        dir.Write("game/data/init.lua",
                  "function boot() end function init() end function update() end function render() end\n"
                  "function exit() log('exit asked') end function destroy() log('destroyed') end");
        VelkProcess velk(dir, {});
        ASSERT_TRUE(WaitForLock(dir)) << velk.Stderr();
        std::this_thread::sleep_for(100ms);
        velk.Signal(signal);
        const int status = velk.Wait();
        EXPECT_TRUE(ExitedWith(status, 0)) << "signal " << signal << ", status " << status << "\n" << velk.Stderr();
        const std::string log = dir.Read("game/user/log.txt");
        EXPECT_THAT(log, ::testing::HasSubstr("destroyed")) << "the script's destroy ran in the shutdown";
        EXPECT_THAT(log, ::testing::Not(::testing::HasSubstr("exit asked"))) << "the session end is not put to the script";
    }
}

TEST(VelkProcess, MissingConfigurationFileIsFatal) {
    TempDir dir;
    VelkProcess velk(dir, {"CONFIG=missing.cfg"});
    const int status = velk.Wait();
    EXPECT_TRUE(ExitedWith(status, 3)) << "status " << status;
    EXPECT_THAT(velk.Stderr(), ::testing::HasSubstr("[ERROR] ERROR AT velk_main.cpp, LINE "));
    EXPECT_THAT(velk.Stderr(), ::testing::HasSubstr(":\nCan't load config file (missing.cfg).\n"));
}

TEST(VelkProcess, FatalErrorEndsWithAFailureStatus) {
    TempDir dir;
    VelkProcess velk(dir, {}, "no-such-video-driver");  // the window cannot be made
    const int status = velk.Wait();
    EXPECT_TRUE(ExitedWith(status, 3)) << "status " << status << "\n" << velk.Stderr();
}

// The only file in the runtime folder: the lock of the one game run there.
std::string OnlyLockFile(const TempDir& dir) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "run")) files.push_back(entry.path().string());
    return files.size() == 1 ? files[0] : "";
}

TEST(VelkProcess, SecondCopyEndsAtOnceSayingWhyAndLeavesTheFirstRunning) {
    // A title too long for a file name still gets its lock.
    const std::string longTitle(300, 'x');
    for (const std::string& title : {std::string(), longTitle}) {
        TempDir dir;
        dir.Write("game/config.cfg", title.empty() ? "" : "product_name " + title);
        VelkProcess first(dir, {});
        ASSERT_TRUE(WaitForLock(dir));
        VelkProcess second(dir, {});
        const int status = second.Wait();
        EXPECT_TRUE(ExitedWith(status, 5)) << "status " << status << "\n" << second.Stderr();
        const std::string lock = OnlyLockFile(dir);
        EXPECT_THAT(lock, ::testing::EndsWith("-" + std::to_string(getuid()) + ".lock")) << "named with the user's id";
        EXPECT_EQ(second.Stderr(), (title.empty() ? "Velk Engine" : title) + " is already running (lock file " + lock + ")\n");
        EXPECT_EQ(first.Wait(200ms), -1) << "the first copy is still running";
        first.Signal(SIGTERM);
        EXPECT_TRUE(ExitedWith(first.Wait(), 0));
    }
}

bool LockHeldAt(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return held;
}

bool WaitForLockAt(const std::string& path) {
    for (int i = 0; i < 1000 && !LockHeldAt(path); ++i) std::this_thread::sleep_for(10ms);
    return LockHeldAt(path);
}

// Without a runtime folder the locks lie in /tmp, which every user shares: another user's
// running copy does not stop this user's game, and this user's second copy still ends.
TEST(VelkProcess, LockWithoutARuntimeFolderIsPerUser) {
    const uid_t nobody = 65534;
    const uid_t me = getuid();
    if (me != 0) GTEST_SKIP() << "becoming another user needs root";
    const std::string title = "Lock Test " + std::to_string(getpid());
    const auto lockOf = [](uid_t user) {
        return "/tmp/Velk%20Engine-Lock%20Test%20" + std::to_string(getpid()) + "-" + std::to_string(user) + ".lock";
    };
    struct Cleanup {
        std::vector<std::string> files;
        ~Cleanup() {
            for (const std::string& file : files) std::filesystem::remove(file);
        }
    } cleanup{{lockOf(nobody), lockOf(me)}};
    TempDir theirs, mine;
    for (const TempDir* dir : {&theirs, &mine}) dir->Write("game/config.cfg", "product_name \"" + title + "\"");
    VelkProcess other(theirs, {}, "dummy", true, {nobody, false});
    ASSERT_TRUE(WaitForLockAt(lockOf(nobody))) << other.Stderr();
    VelkProcess first(mine, {}, "dummy", true, {std::nullopt, false});
    ASSERT_TRUE(WaitForLockAt(lockOf(me))) << "another user's copy does not stop this one\n" << first.Stderr();
    VelkProcess second(mine, {}, "dummy", true, {std::nullopt, false});
    EXPECT_TRUE(ExitedWith(second.Wait(), 5)) << second.Stderr();
    EXPECT_EQ(second.Stderr(), title + " is already running (lock file " + lockOf(me) + ")\n");
    for (VelkProcess* velk : {&other, &first}) {
        EXPECT_EQ(velk->Wait(100ms), -1) << "still running\n" << velk->Stderr();
        velk->Signal(SIGTERM);
        EXPECT_TRUE(ExitedWith(velk->Wait(), 0)) << velk->Stderr();
    }
}

TEST(VelkProcess, GamesWithDifferentTitlesRunSideBySide) {
    const struct {
        const char* a;
        const char* b;
    } pairs[] = {{"\"Game A\"", "Game_A"}, {"\"Jeu \xC3\xA9t\xC3\xA9\"", "\"Jeu \xC3\xB4t\xC3\xA9\""}};
    for (const auto& p : pairs) {
        SCOPED_TRACE(p.b);
        TempDir dir;
        dir.Write("game/a.cfg", std::string("product_name ") + p.a);
        dir.Write("game/b.cfg", std::string("product_name ") + p.b);
        VelkProcess first(dir, {"config=a.cfg"});
        ASSERT_TRUE(WaitForLock(dir)) << first.Stderr();
        VelkProcess second(dir, {"config=b.cfg"});
        EXPECT_EQ(second.Wait(1s), -1) << "the second game runs too\n" << second.Stderr();
        for (VelkProcess* velk : {&first, &second}) {
            velk->Signal(SIGTERM);
            EXPECT_TRUE(ExitedWith(velk->Wait(), 0)) << velk->Stderr();
        }
    }
}

// Standard error is a pipe whose reader leaves after one line: the game still ends
// through its shutdown, and with the status of a normal end.
TEST(VelkProcess, ClosedStandardErrorPipeDoesNotEndTheGame) {
    TempDir dir;
    dir.Write("game/config.cfg", "create_log true\nportable true\n");
    dir.Write("game/data/init.lua",
              "local frames = 0\nfunction boot() end function init() end function render() end\n"
              "function update() frames = frames + 1 for i = 1, 20 do log('line ' .. i) end\n"
              "  if frames == 30 then sys_exit() end end\n"
              "function destroy() print('to standard output') log('destroyed') file_save('final.txt', 'saved') end\n");
    const std::string command = "cd '" + (dir / "game").string() + "' && XDG_RUNTIME_DIR='" + (dir / "run").string() +
                                "' SDL_VIDEODRIVER=dummy VELK_HEADLESS=1 ALSOFT_DRIVERS=null ALSOFT_CONF=/dev/null "
                                "sh -c '(\"$0\"; echo $? > status.txt) 2>&1 | head -1 > /dev/null' " VELK_EXECUTABLE;
    std::filesystem::create_directories(dir / "run");
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(dir.Read("game/status.txt"), "0\n");
    EXPECT_THAT(dir.Read("game/user/log.txt"), ::testing::HasSubstr("destroyed"));
    EXPECT_EQ(dir.Read("game/user/final.txt"), "saved");
}

// The error box of a syntax error shows whatever the file set before the error.
TEST(VelkProcess, ConfigurationSyntaxErrorSaysWhatIsWrong) {
    for (const char* config : {"a [ }", "dev_mode true\ncreate_log true\nwidth [ 1 }"}) {
        TempDir dir;
        dir.Write("game/config.cfg", config);
        VelkProcess velk(dir, {});
        EXPECT_TRUE(ExitedWith(velk.Wait(), 3)) << velk.Stderr();
        EXPECT_THAT(velk.Stderr(), ::testing::HasSubstr("[ERROR] ERROR AT vstore.cpp, LINE "));
        EXPECT_THAT(velk.Stderr(), ::testing::HasSubstr("Error parsing <config.cfg>, line "));
    }
}

TEST(VelkProcess, MissingConfigurationIsFatalAndNamesTheFile) {
    struct Case {
        std::vector<std::string> arguments;
        const char* message;
    };
    const Case cases[] = {
        {{}, "Can't load config file (config.cfg)."},
        {{"config=other.cfg"}, "Can't load config file (other.cfg)."},
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.Write("game/data/config.cfg", "");  // data folders never supply it
        VelkProcess velk(dir, c.arguments, "dummy", false);
        EXPECT_TRUE(ExitedWith(velk.Wait(), 3)) << velk.Stderr();
        EXPECT_THAT(velk.Stderr(), ::testing::HasSubstr(c.message));
        EXPECT_TRUE(std::filesystem::is_empty(dir / "run")) << "ends before the single-instance test";
    }
}

TEST(VelkProcess, ConfigurationNamedOnTheCommandLineIsRead) {
    TempDir dir;
    dir.Write("game/other.cfg", "product_name \"Other Game\"");
    VelkProcess velk(dir, {"config=other.cfg"});
    ASSERT_TRUE(WaitForLock(dir)) << velk.Stderr();
    bool named = false;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "run"))
        named = named || entry.path().filename().string().find("Other%20Game") != std::string::npos;
    EXPECT_TRUE(named) << "the single-instance lock is named after product_name";
    velk.Signal(SIGTERM);
    EXPECT_TRUE(ExitedWith(velk.Wait(), 0)) << velk.Stderr();
}

// The mount lines of the log, in the order they were written.
std::vector<std::string> MountLines(const std::string& log) {
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("Adding ", 0) == 0) lines.push_back(line);
    }
    return lines;
}

TEST(VelkProcess, CustomDataSourcesAreTheOnlyDataMountedInKeyOrder) {
    TempDir dir;
    std::string sources;
    for (int i = 0; i < 12; ++i) {
        sources += " src" + std::to_string(i);
        std::filesystem::create_directories(dir / ("game/src" + std::to_string(i)));
    }
    dir.Write("game/config.cfg", "portable true create_log true custom_data_sources [" + sources + " ]");
    dir.Write("game/src5/init.lua", "function boot() end\nfunction init() end\nfunction update(dt) end\nfunction render() end\n");
    dir.Write("game/data/init.lua", "error('the data folder must not be mounted')");
    dir.Write("game/data.pak", "");
    VelkProcess velk(dir, {}, "dummy", false);
    ASSERT_TRUE(WaitForLock(dir)) << velk.Stderr();
    std::string log;
    for (int i = 0; i < 500 && log.find("VelkInit done") == std::string::npos; ++i) {
        std::this_thread::sleep_for(10ms);
        log = dir.Read("game/user/log.txt");
    }
    velk.Signal(SIGTERM);
    EXPECT_TRUE(ExitedWith(velk.Wait(), 0)) << velk.Stderr();

    // The writable container is mounted before the log starts, so the log begins at the language.
    std::vector<testing::Matcher<std::string>> expected = {testing::EndsWith("path:lang/en")};
    for (const char* source : {"0", "1", "10", "11", "2", "3", "4", "5", "6", "7", "8", "9"})
        expected.push_back(testing::EndsWith(std::string("path:src") + source));
    EXPECT_THAT(MountLines(log), testing::ElementsAreArray(expected)) << log;
}

}  // namespace
