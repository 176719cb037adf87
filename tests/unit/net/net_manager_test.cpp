// Web requests against a server on 127.0.0.1 that each test starts and stops.
#include "net/net_manager.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

#include "core/config.h"
#include "fixtures/loopback_http_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using State = WebRequestState;

std::string Letters(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 26);
    return body;
}

// Answers by path: "/close" and "/silent" as named, "/bytes/N" N bytes, "/unsized/N" N
// bytes without a length, "/zeros" a body holding zero bytes, "/empty" nothing; anything
// else "hello".
HttpAnswer AnswerByPath(const HttpExchange& request) {
    const std::string& path = request.target;
    if (path == "/close") return {HttpAnswer::Kind::kClose, {}};
    if (path == "/silent") return {HttpAnswer::Kind::kSilent, {}};
    if (path.rfind("/bytes/", 0) == 0) return {HttpAnswer::Kind::kReply, Letters(std::stoul(path.substr(7)))};
    if (path.rfind("/unsized/", 0) == 0) return {HttpAnswer::Kind::kUnsized, Letters(std::stoul(path.substr(9)))};
    if (path == "/zeros") return {HttpAnswer::Kind::kReply, std::string("a\0b\0\0c", 6)};
    if (path == "/empty") return {HttpAnswer::Kind::kReply, {}};
    return {HttpAnswer::Kind::kReply, "hello"};
}

class NetManagerTest : public testing::Test {
protected:
    void TearDown() override {
        DestroyNetManager();
        InitConfigDefaults();
    }

    // Frames until the request leaves the running state (or a generous limit passes).
    State Settle(int32_t id) {
        const auto limit = Clock::now() + std::chrono::seconds(30);
        while (net.Status(id) == State::kRunning && Clock::now() < limit) {
            net.Update();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return net.Status(id);
    }
    std::string Body(int32_t id) {
        std::size_t length = 0;
        const char* bytes = net.Output(id, &length);
        return bytes ? std::string(bytes, length) : "(null)";
    }
    std::string Post(const std::vector<std::pair<std::string, std::string>>& fields) {
        const int32_t id = net.PostBegin(server.Url("/form").c_str(), nullptr, nullptr);
        for (const auto& [key, value] : fields) EXPECT_TRUE(net.PostValue(id, key, value));
        EXPECT_TRUE(net.PostEnd(id, true));
        EXPECT_EQ(Settle(id), State::kDone);
        return server.Requests().back().body;
    }

    LoopbackHttpServer server{AnswerByPath};
    NetManager& net = GetNetManager();
};

TEST(RequestIds, RunFromOneAndWrapPastMinusOneToOne) {
    int32_t counter = 0;
    EXPECT_EQ(NextRequestId(counter), 1);
    EXPECT_EQ(NextRequestId(counter), 2);
    counter = INT32_MAX;
    EXPECT_EQ(NextRequestId(counter), INT32_MIN);
    counter = -2;
    EXPECT_EQ(NextRequestId(counter), -1);
    EXPECT_EQ(NextRequestId(counter), 1);
}

TEST(EscapeUrl, KeepsOnlyLettersAndDigits) {
    EXPECT_EQ(EscapeUrl("a b"), "a%20b");
    EXPECT_EQ(EscapeUrl("x=y"), "x%3Dy");
    EXPECT_EQ(EscapeUrl("Az09-._~"), "Az09%2D%2E%5F%7E");
    EXPECT_EQ(EscapeUrl("\xc3\xa9\x01"), "%C3%A9%01");
    EXPECT_EQ(EscapeUrl(std::string(1, '\0')), "%00");
    // Every byte escaped: three times the input, well past any doubling from the start.
    EXPECT_EQ(EscapeUrl(std::string(1000, ' ')), [] {
        std::string expected;
        for (int i = 0; i < 1000; ++i) expected += "%20";
        return expected;
    }());
}

TEST_F(NetManagerTest, GetKeepsItsBodyAcrossFramesUntilReleased) {
    const int32_t first = net.Get(server.Url("/").c_str(), nullptr, nullptr);
    const int32_t second = net.PostBegin(server.Url("/").c_str(), nullptr, nullptr);
    ASSERT_GT(first, 0);
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(net.Status(second), State::kIdle);
    ASSERT_EQ(Settle(first), State::kDone);
    for (int frame = 0; frame < 5; ++frame) net.Update();
    EXPECT_EQ(Body(first), "hello");
    EXPECT_EQ(server.Requests().front().method, "GET");
    EXPECT_EQ(server.Requests().front().Header("User-Agent"), "velk-engine");
    EXPECT_TRUE(net.Release(first));
    EXPECT_FALSE(net.Release(first));
    EXPECT_EQ(net.Status(first), State::kFailed);
    EXPECT_EQ(Body(first), "(null)");
}

TEST_F(NetManagerTest, UnknownIdsAreFailedAndRefused) {
    for (const int32_t id : {0, -1, 77, INT32_MAX}) {
        EXPECT_EQ(net.Status(id), State::kFailed);
        EXPECT_EQ(Body(id), "(null)");
        EXPECT_FALSE(net.PostValue(id, "k", "v"));
        EXPECT_FALSE(net.PostEnd(id, true));
        EXPECT_FALSE(net.Release(id));
    }
}

TEST_F(NetManagerTest, PostWithoutKeepIsGoneByTheUpdateThatEndsIt) {
    const int32_t id = net.PostBegin(server.Url("/").c_str(), nullptr, nullptr);
    ASSERT_TRUE(net.PostValue(id, "k", "v"));
    ASSERT_TRUE(net.PostEnd(id, false));
    EXPECT_FALSE(net.PostValue(id, "late", "field"));
    EXPECT_FALSE(net.PostEnd(id, false));
    EXPECT_EQ(Settle(id), State::kFailed);  // never seen done: deleted when it finished
    EXPECT_EQ(Body(id), "(null)");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].body, "k=v");
}

TEST_F(NetManagerTest, FormFieldsAreEscapedAndJoined) {
    EXPECT_EQ(Post({{"a b", "x=y"}}), "a%20b=x%3Dy");
    EXPECT_EQ(Post({{"k", "1"}, {"", ""}, {"n", "\xc3\xa9"}}), "k=1&=&n=%C3%A9");
    EXPECT_EQ(server.Requests().back().method, "POST");
}

TEST_F(NetManagerTest, PostWithoutFieldsSendsAnEmptyBodyNotStandardInput) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    ASSERT_EQ(write(pipeFds[1], "from stdin", 10), 10);
    close(pipeFds[1]);
    const int savedInput = dup(0);
    dup2(pipeFds[0], 0);
    const std::string body = Post({});
    dup2(savedInput, 0);
    close(savedInput);
    close(pipeFds[0]);
    EXPECT_EQ(body, "");
    EXPECT_EQ(server.Requests().back().Header("Content-Length"), "0");
}

TEST_F(NetManagerTest, BasicAuthenticationOnlyWithAUser) {
    struct Case {
        const char* user;
        const char* password;
        const char* header;
    };
    const Case cases[] = {
        {"user", "pass", "Basic dXNlcjpwYXNz"},
        {"user", nullptr, "Basic dXNlcjo="},  // "user:"
        {"user", "", "Basic dXNlcjo="},
        {"", "pass", ""},
        {nullptr, "pass", ""},
    };
    for (const Case& c : cases) {
        const int32_t id = net.Get(server.Url("/").c_str(), c.user, c.password);
        ASSERT_EQ(Settle(id), State::kDone);
        EXPECT_EQ(server.Requests().back().Header("Authorization"), c.header) << (c.user ? c.user : "null");
    }
}

TEST_F(NetManagerTest, RepliesAreKeptWhole) {
    const int32_t large = net.Get(server.Url("/bytes/300001").c_str(), nullptr, nullptr);
    const int32_t zeros = net.Get(server.Url("/zeros").c_str(), nullptr, nullptr);
    const int32_t empty = net.Get(server.Url("/empty").c_str(), nullptr, nullptr);
    ASSERT_EQ(Settle(large), State::kDone);
    ASSERT_EQ(Settle(zeros), State::kDone);
    ASSERT_EQ(Settle(empty), State::kDone);
    EXPECT_EQ(Body(large), AnswerByPath({"GET", "/bytes/300001", "", ""}).body);
    EXPECT_EQ(Body(zeros), std::string("a\0b\0\0c", 6));
    EXPECT_EQ(Body(empty), "(null)");
}

// Over the bound, with a declared length or without one (ending only when too much has
// arrived), the request fails with a log line that names it and the bound; at the bound
// the whole reply is kept.
TEST_F(NetManagerTest, RepliesOverTheBoundEndAsErrorsWithALogLine) {
    g_config.create_log = true;
    const std::string bound = std::to_string(kMaxReplyBytes);
    const std::string over = std::to_string(kMaxReplyBytes + 1);
    for (const std::string& path : {"/bytes/" + over, "/unsized/" + over}) {
        testing::internal::CaptureStderr();
        const int32_t id = net.Get(server.Url(path).c_str(), nullptr, nullptr);
        const State state = id == 0 ? State::kFailed : Settle(id);
        const std::string log = testing::internal::GetCapturedStderr();
        ASSERT_GT(id, 0) << path;
        EXPECT_EQ(state, State::kFailed) << path;
        const std::string line = "Net: request " + std::to_string(id) + " ended: its reply is over the " + bound +
                                 " byte bound (" + server.Url(path) + ")";
        EXPECT_EQ(Body(id), line);
        EXPECT_EQ(log, line + "\n");
    }
    const int32_t atBound = net.Get(server.Url("/unsized/" + bound).c_str(), nullptr, nullptr);
    ASSERT_EQ(Settle(atBound), State::kDone);
    std::size_t length = 0;
    const char* const bytes = net.Output(atBound, &length);
    ASSERT_EQ(length, kMaxReplyBytes);
    EXPECT_TRUE(std::string_view(bytes, length) == Letters(kMaxReplyBytes));
}

// Transfers that end without a reply fail with libcurl's text, whatever its first word.
TEST_F(NetManagerTest, TransfersWithoutAReplyEndAsErrors) {
    for (const std::string& url : {server.Url("/close"), std::string("http://velk-test.invalid/")}) {
        const int32_t id = net.Get(url.c_str(), nullptr, nullptr);
        if (id == 0) continue;  // failed at once: also an error
        EXPECT_EQ(Settle(id), State::kFailed) << url;
        EXPECT_NE(Body(id), "(null)") << url;
        EXPECT_NE(Body(id), "") << url;
    }
}

TEST_F(NetManagerTest, OnlyTheWebIsReachable) {
    for (const char* url : {"file:///etc/hostname", "ftp://127.0.0.1/", "gopher://127.0.0.1/"}) {
        const int32_t id = net.Get(url, nullptr, nullptr);
        EXPECT_TRUE(id == 0 || Settle(id) == State::kFailed) << url;
    }
    const int32_t post = net.PostBegin("file:///etc/hostname", nullptr, nullptr);
    EXPECT_FALSE(net.PostEnd(post, true) && Settle(post) == State::kDone);
}

TEST_F(NetManagerTest, ASilentServerNeverHoldsUpTheFrame) {
    const int32_t id = net.Get(server.Url("/silent").c_str(), nullptr, nullptr);
    ASSERT_GT(id, 0);
    while (server.Requests().empty()) {
        net.Update();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::vector<double> spans;
    for (int frame = 0; frame < 51; ++frame) {
        const auto start = Clock::now();
        net.Update();
        spans.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    EXPECT_EQ(net.Status(id), State::kRunning);
    std::sort(spans.begin(), spans.end());
    EXPECT_LT(spans[25], 1.0);    // the typical update
    EXPECT_LT(spans.back(), 250.0);  // even one descheduled under load never waits for the reply
}

}  // namespace
