// A game that makes web requests against a loopback server and opens a page, run by the
// real executable: the requests advance with the engine's frames, a kept-off POST is
// gone once it ends, a reply over the bound ends as an error, and a request still open at
// the end is cleaned up at shutdown.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "fixtures/loopback_http_server.h"
#include "fixtures/temp_dir.h"
#include "game_run.h"

namespace {

namespace fs = std::filesystem;

const fs::path kE2eDir = VELK_E2E_DIR;

// One byte over the engine's bound for a reply.
constexpr std::size_t kOverTheBound = 64u * 1024u * 1024u + 1u;

HttpAnswer Reply(const HttpExchange& request) {
    if (request.target == "/silent") return {HttpAnswer::Kind::kSilent, {}};
    if (request.target == "/huge") return {HttpAnswer::Kind::kReply, std::string(kOverTheBound, 'x')};
    return {HttpAnswer::Kind::kReply, "page for " + request.method + " " + request.body};
}

const char* const kGame = R"(
local get, post, silent, huge
local frames = 0
function boot() end
function init()
  get = net_get(SERVER .. "/page", "user", "")
  post = net_post_begin(SERVER .. "/form")
  net_post_value(post, "a b", "x=y")
  net_post_end(post, false)
  silent = net_get(SERVER .. "/silent")
  huge = net_get(SERVER .. "/huge")
  log("ids " .. get .. " " .. post .. " " .. silent .. " " .. huge)
  net_open_web("http://example.test/page?a=1")
end
function update(dt)
  frames = frames + 1
  if net_status(get) ~= "busy" and net_status(post) ~= "busy" and net_status(huge) ~= "busy" then
    log("get " .. net_status(get) .. ": " .. tostring(net_output(get)))
    log("post " .. net_status(post) .. " " .. tostring(net_output(post)))
    log("silent " .. net_status(silent))
    log("huge " .. net_status(huge) .. ": " .. tostring(net_output(huge)))
    sys_exit()
  elseif frames > 20000 then
    log("still busy")
    sys_exit()
  end
end
function render() end
)";

TEST(WebGame, RequestsAdvanceWithTheFramesAndTheOpenerGetsThePage) {
    const LoopbackHttpServer server(Reply);
    const TempDir game;
    fs::copy(kE2eDir / "common", game.path(), fs::copy_options::recursive);
    game.Write("data/init.lua", "SERVER = '" + server.Url("") + "'\n" + kGame);
    const fs::path opener = game.Write("opener.sh", "#!/bin/sh\necho \"$# $1\" > \"$0.out\"\n");
    fs::permissions(opener, fs::perms::owner_all);

    const std::string tooLarge =
        "Net: request 4 ended: its reply is over the 67108864 byte bound (" + server.Url("/huge") + ")";
    GameExpectation expectation = ParseExpectation(
        "line ids 1 2 3 4\n"
        "line net_open_web: http://example.test/page?a=1\n"
        "line " + tooLarge + "\n"
        "line get ok: page for GET \n"
        "line post error nil\n"
        "line silent busy\n"
        "line huge error: " + tooLarge + "\n");
    expectation.environment.emplace_back("VELK_WEB_OPENER", opener.string());
    const GameResult result = RunGame(VELK_EXECUTABLE, game.path(), expectation);
    EXPECT_EQ(result.exitStatus, 0) << result.output;
    EXPECT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << result.log;
    // The opener runs on its own: it may finish after the game.
    const fs::path opened = opener.string() + ".out";
    for (int wait = 0; wait < 400 && !fs::exists(opened); ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(fs::exists(opened) ? game.Read("opener.sh.out") : "", "1 http://example.test/page?a=1\n");

    const std::vector<HttpExchange> requests = server.Requests();
    ASSERT_EQ(requests.size(), 4u);
    std::map<std::string, HttpExchange> byTarget;
    for (const HttpExchange& request : requests) byTarget[request.target] = request;
    EXPECT_EQ(byTarget["/page"].Header("Authorization"), "Basic dXNlcjo=");  // "user:"
    EXPECT_EQ(byTarget["/form"].body, "a%20b=x%3Dy");
}

}  // namespace
