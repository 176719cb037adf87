// The web functions: requests by id against a loopback server, and pages handed to the
// opener (VELK_WEB_OPENER stands in for the browser).
#include <SDL.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "api_fixture.h"
#include "core/config.h"
#include "fixtures/loopback_http_server.h"
#include "fixtures/temp_dir.h"
#include "net/net_manager.h"
#include "platform/linux/window.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

HttpAnswer Reply(const HttpExchange& request) {
    if (request.target == "/zeros") return {HttpAnswer::Kind::kReply, std::string("ab\0cd", 5)};
    if (request.target == "/close") return {HttpAnswer::Kind::kClose, {}};
    return {HttpAnswer::Kind::kReply, request.method + " " + request.body};
}

class NetApi : public ApiTest {
protected:
    void TearDown() override {
        DestroyNetManager();
        ApiTest::TearDown();
    }
    // Frames until the request named by the script expression is no longer busy.
    std::string Settle(const std::string& id) {
        const auto limit = Clock::now() + std::chrono::seconds(30);
        while (Eval("net_status(" + id + ")") == "busy" && Clock::now() < limit) {
            if (NetManager* net = FindNetManager()) net->Update();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return Eval("net_status(" + id + ")");
    }
    std::string Url(const std::string& path) { return "'" + server.Url(path) + "'"; }

    LoopbackHttpServer server{Reply};
};

TEST_F(NetApi, MissingArgumentsGiveNothingAndAbsentIdsError) {
    ASSERT_EQ(Run("before = net_post_begin(" + Url("/") + ")"), "");
    EXPECT_EQ(Eval("net_get()"), "0");
    EXPECT_EQ(Eval("net_get({})"), "0");
    EXPECT_EQ(Eval("net_post_begin(nil, 'user')"), "0");
    ASSERT_EQ(Run("id = net_post_begin(" + Url("/") + ")"), "");
    EXPECT_EQ(Eval("id - before"), "1") << "the calls without a URL made no request";
    EXPECT_EQ(Eval("net_post_value(id, 'key')"), "false");
    EXPECT_EQ(Eval("net_post_value(id, nil, 'value')"), "false");
    EXPECT_EQ(Eval("net_post_value()"), "false");
    EXPECT_EQ(Eval("net_status(id)"), "idle");
    for (const char* id : {"99", "-1", "1e300", "0/0", "'x'"}) {
        EXPECT_EQ(Eval(std::string("net_status(") + id + ")"), "error") << id;
        EXPECT_EQ(Eval(std::string("net_output(") + id + ")"), "nil") << id;
        EXPECT_EQ(Eval(std::string("net_release(") + id + ")"), "false") << id;
        EXPECT_EQ(Eval(std::string("net_post_end(") + id + ")"), "false") << id;
    }
}

TEST_F(NetApi, GetAndPostByIdUntilReleased) {
    ASSERT_EQ(Run("get = net_get(" + Url("/") + ") post = net_post_begin(" + Url("/") +
                  ") net_post_value(post, 'a b', 'x=y') ok = net_post_end(post)"),
              "");
    EXPECT_EQ(Eval("post - get .. ' ' .. tostring(ok)"), "1 true");
    EXPECT_EQ(Settle("get"), "ok");
    EXPECT_EQ(Settle("post"), "ok");
    EXPECT_EQ(Eval("net_output(get)"), "GET ");
    EXPECT_EQ(Eval("net_output(post)"), "POST a%20b=x%3Dy");
    EXPECT_EQ(Eval("net_release(get)"), "true");
    EXPECT_EQ(Eval("net_status(get)"), "error");
    EXPECT_EQ(Eval("net_status(post)"), "ok") << "kept by default";
}

TEST_F(NetApi, PostEndedWithoutKeepIsGoneOnceFinished) {
    ASSERT_EQ(Run("id = net_post_begin(" + Url("/") + ") net_post_end(id, false)"), "");
    EXPECT_EQ(Settle("id"), "error");
    EXPECT_EQ(Eval("net_output(id)"), "nil");
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(NetApi, OutputAsTextStopsAtTheFirstZeroAndWholeOtherwise) {
    ASSERT_EQ(Run("id = net_get(" + Url("/zeros") + ")"), "");
    ASSERT_EQ(Settle("id"), "ok");
    EXPECT_EQ(Eval("net_output(id)"), "ab");
    EXPECT_EQ(Eval("#net_output(id, false) .. ' ' .. net_output(id, false):byte(3)"), "5 0");
}

TEST_F(NetApi, AFailedRequestGivesItsErrorText) {
    ASSERT_EQ(Run("id = net_get(" + Url("/close") + ")"), "");
    ASSERT_EQ(Settle("id"), "error");
    EXPECT_EQ(Eval("type(net_output(id)) .. ' ' .. tostring(#net_output(id) > 0)"), "string true");
}

class OpenWeb : public NetApi {
protected:
    void SetUp() override {
        NetApi::SetUp();
        g_config.create_log = true;
        opener = folder.Write("opener.sh", "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > \"$0.args\"\n");
        std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
        setenv("VELK_WEB_OPENER", opener.c_str(), 1);
    }
    void TearDown() override {
        setenv("VELK_WEB_OPENER", "true", 1);
        NetApi::TearDown();
    }
    // What the opener was given, once it has written it.
    std::string OpenerArguments() {
        const std::filesystem::path written = opener.string() + ".args";
        const auto limit = Clock::now() + std::chrono::seconds(20);
        while (!std::filesystem::exists(written) && Clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return std::filesystem::exists(written) ? folder.Read("opener.sh.args") : "(never started)";
    }
    // The log lines the code writes (the log echoes to standard error).
    std::string Logged(const std::string& code) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(Run(code), "");
        return testing::internal::GetCapturedStderr();
    }

    TempDir folder;
    std::filesystem::path opener;
};

TEST_F(OpenWeb, HandsTheOpenerTheAddressAsItsOneArgument) {
    const std::string address = "https://example.test/a b?c=d&e='f';$(rm -rf x)";
    lua_pushstring(L, address.c_str());
    lua_setglobal(L, "address");
    EXPECT_EQ(Logged("net_open_web(address)"), "net_open_web: " + address + "\n");
    EXPECT_EQ(OpenerArguments(), "1|" + address + "|");
}

TEST_F(OpenWeb, WithoutAnAddressLogsAnEmptyOneAndOpensNothing) {
    EXPECT_EQ(Logged("net_open_web() net_open_web({}) net_open_web('')"),
              "net_open_web: \nnet_open_web: \nnet_open_web: \n");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(std::filesystem::exists(opener.string() + ".args"));
}

// Minimising asks the window manager for the iconic state; with no window manager on
// the private X server, a watcher of the root window sees the request.
TEST_F(OpenWeb, MinimisesTheWindowUnderX) {
    if (std::string(SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "") != "x11")
        GTEST_SKIP() << "needs X (the test runs under a private X server as well)";
    const std::string watched = (folder / "root_events.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, watched.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const char* argv[] = {"xev", "-root", "-event", "substructure", nullptr};
    pid_t watcher = 0;
    ASSERT_EQ(posix_spawnp(&watcher, "xev", &actions, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the watcher selects its events

    ASSERT_EQ(Run("net_open_web('http://example.test/')"), "");
    bool seen = false;
    for (const auto limit = Clock::now() + std::chrono::seconds(20); !seen && Clock::now() < limit;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        seen = folder.Read("root_events.txt").find("WM_CHANGE_STATE") != std::string::npos;
    }
    kill(watcher, SIGTERM);
    waitpid(watcher, nullptr, 0);
    EXPECT_TRUE(seen) << folder.Read("root_events.txt");
    EXPECT_EQ(OpenerArguments(), "1|http://example.test/|");
}

}  // namespace
