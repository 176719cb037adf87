// The developer console: its keys, its output and the fade, the stored history, its
// drawing on a letterboxed window, and output arriving from another thread.
#include "script/console.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "core/config.h"
#include "core/input.h"
#include "core/log.h"
#include "fixtures/mounted_dir.h"
#include "graphics/render.h"
#include "script/api/lua_api.h"
#include "script/lua_base.h"
#include "storage/storage.h"
#include "text/debug_font.h"
#include "unit/text/text_device_fixture.h"

namespace {

constexpr int kBackspace = 8, kEnter = 13, kEscape = 27, kEnd = 35, kHome = 36, kLeft = 37, kUp = 38, kRight = 39,
              kDown = 40, kDelete = 46, kBackQuote = 192;
constexpr uint32_t kPromptColor = 0x99FF99;

// One frame of input: these keys at this pressed-table value, this typed text.
bool Frame(std::initializer_list<int> keys, const std::string& typed = "", uint8_t value = kKeyPressed,
           float dt = 0.016f) {
    g_input.keys.pressed.fill(0);
    for (const int key : keys) g_input.keys.pressed[static_cast<std::size_t>(key)] = value;
    g_input.typed.fill(0);
    typed.copy(g_input.typed.data(), kTypedTextLimit);
    g_input.typed_length = std::min(typed.size(), kTypedTextLimit);
    return Console_Update(dt);
}

void OpenConsole(float dt = 0.016f) { ASSERT_TRUE(Frame({kBackQuote}, "`", kKeyPressed, dt)); }

// Types a line and enters it.
void Enter(const std::string& line) {
    Frame({}, line);
    Frame({kEnter});
}

struct Shown {
    std::string text;
    int kind;
    int alpha;
    bool operator==(const Shown&) const = default;
};

std::vector<Shown> ShownNow(float width = 1e9f) {
    std::vector<ConsoleShownLine> lines;
    Console_ShownLines(lines, width);
    std::vector<Shown> out;
    for (const ConsoleShownLine& line : lines) out.push_back({line.text, line.kind, line.alpha});
    return out;
}

std::vector<std::string> ShownTexts() {
    std::vector<std::string> out;
    for (const Shown& line : ShownNow()) out.push_back(line.text);
    return out;
}

class ConsoleTest : public testing::Test {
protected:
    void SetUp() override {
        InitConfigDefaults();
        InitRenderGlobals();
        g_config.dev_mode = true;
        g_config.create_log = true;
        g_input = InputState{};
        Console_Reset();
        Console_Install();
        LuaCreateState();
        testing::internal::CaptureStderr();
    }
    void TearDown() override {
        testing::internal::GetCapturedStderr();
        SetConsoleSink(nullptr);
        Console_Reset();
        LuaCloseState();
        InitConfigDefaults();
    }
    static const ConsoleEditor& Editor() { return Console_Editor(); }
    static double Global(const char* name) {
        lua_getglobal(LuaGetState(), name);
        const double value = lua_tonumber(LuaGetState(), -1);
        lua_pop(LuaGetState(), 1);
        return value;
    }
};

TEST_F(ConsoleTest, BackQuoteOpensWithoutBeingTypedAndClosesAgain) {
    EXPECT_FALSE(Frame({}));
    EXPECT_TRUE(Frame({kBackQuote}, "`"));
    EXPECT_EQ(Editor().edit, "");
    EXPECT_TRUE(Frame({}, "ab"));
    EXPECT_TRUE(Frame({kBackQuote}, "`", kKeyRepeated)) << "a held key does not close it";
    EXPECT_EQ(Editor().edit, "ab`");
    EXPECT_FALSE(Frame({kBackQuote}, "`"));
    EXPECT_FALSE(Editor().open);
    EXPECT_EQ(Editor().edit, "ab`");

    g_config.dev_mode = false;
    EXPECT_FALSE(Frame({kBackQuote}, "`"));
    EXPECT_FALSE(Editor().open);
}

TEST_F(ConsoleTest, RepeatedNeighboursMakeOneHistoryEntry) {
    const struct {
        std::vector<std::string> lines;
        std::size_t entries;
    } cases[] = {{{"a = 1", "a = 1"}, 1}, {{"a = 1", "b = 2", "a = 1"}, 3}, {{"a = 1", " a = 1 "}, 1}};
    for (const auto& c : cases) {
        Console_Reset();
        OpenConsole();
        for (const std::string& line : c.lines) Enter(line);
        EXPECT_EQ(Editor().history.size(), c.entries) << c.lines.size() << " lines";
        EXPECT_EQ(Editor().historyIndex, static_cast<int>(c.entries));
    }
}

TEST_F(ConsoleTest, UpAndDownBrowseTheHistoryAndWrap) {
    OpenConsole();
    Frame({kUp});
    EXPECT_EQ(Editor().edit, "") << "nothing to browse";
    Frame({kDown});
    EXPECT_EQ(Editor().edit, "");
    for (const char* line : {"a = 1", "b = 2", "c = 3"}) Enter(line);
    const struct {
        int key;
        uint8_t value;
        const char* edit;
    } steps[] = {
        {kUp, kKeyPressed, "c = 3"},  {kUp, kKeyRepeated, "b = 2"}, {kDown, kKeyPressed, "c = 3"},
        {kDown, kKeyPressed, "a = 1"}, {kUp, kKeyPressed, "c = 3"},
    };
    for (const auto& step : steps) {
        Frame({step.key}, "", step.value);
        EXPECT_EQ(Editor().edit, step.edit);
        EXPECT_EQ(Editor().cursor, 5);
    }
}

TEST_F(ConsoleTest, EditingKeysMoveTheCursorAndDeleteOnRepeat) {
    OpenConsole();
    Frame({}, "abcd");
    const struct {
        int key;
        uint8_t value;
        const char* typed;
        const char* edit;
        int cursor;
    } steps[] = {
        {kLeft, kKeyPressed, "", "abcd", 3},   {kLeft, kKeyRepeated, "", "abcd", 2},
        {kDelete, kKeyPressed, "", "abd", 2},  {kBackspace, kKeyPressed, "", "ad", 1},
        {kBackspace, kKeyRepeated, "", "d", 0}, {kBackspace, kKeyRepeated, "", "d", 0},
        {kLeft, kKeyPressed, "", "d", 0},      {kEnd, kKeyPressed, "", "d", 1},
        {kRight, kKeyPressed, "", "d", 1},     {kDelete, kKeyPressed, "", "d", 1},
        {kHome, kKeyPressed, "xy", "xyd", 2},  {kBackspace, kKeyHeld, "", "xyd", 2},
        {kEscape, kKeyPressed, "", "", 0},
    };
    for (const auto& step : steps) {
        Frame({step.key}, step.typed, step.value);
        EXPECT_EQ(Editor().edit, step.edit) << "key " << step.key;
        EXPECT_EQ(Editor().cursor, step.cursor) << "key " << step.key;
    }
}

TEST_F(ConsoleTest, EnteredLinesRunEchoedAndClsClearsOnlyWhenExact) {
    OpenConsole();
    Enter("  x = 41 + 1\t");
    EXPECT_EQ(Global("x"), 42.0);
    EXPECT_EQ(Editor().edit, "");
    EXPECT_EQ(Editor().history, std::vector<std::string>{"x = 41 + 1"});
    EXPECT_EQ(ShownNow().front(), (Shown{"x = 41 + 1", kConsoleEcho, 255}));

    Enter("cls ");
    EXPECT_EQ(ShownNow(), std::vector<Shown>{});

    // Not the clearing word: script text, which fails; the console only warns.
    Enter("CLS");
    const std::vector<std::string> shown = ShownTexts();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), "CLS");
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](const std::string& text) {
        return text.find("LUA ERROR in dostring") != std::string::npos;
    }));
    Enter("y = 7");
    EXPECT_EQ(Global("y"), 7.0) << "the engine goes on";
    EXPECT_EQ(Editor().history, (std::vector<std::string>{"x = 41 + 1", "cls", "CLS", "y = 7"}));
}

TEST_F(ConsoleTest, LogLinesAreCutWhilePrintedTextStaysWhole) {
    OpenConsole();
    LogPrintf("%s", std::string(300, 'L').c_str());
    Console_Print(std::string(300, 'P').c_str(), kConsolePrint);
    Console_Print("a\n\nb\nc", kConsolePrint);
    Console_Print(nullptr, kConsolePrint);
    const std::vector<Shown> shown = ShownNow();
    ASSERT_EQ(shown.size(), 5u);
    EXPECT_EQ(shown[0].text, "c");
    EXPECT_EQ(shown[1].text, "b");
    EXPECT_EQ(shown[2].text, "a");
    EXPECT_EQ(shown[3].text, std::string(300, 'P'));
    EXPECT_EQ(shown[4], (Shown{std::string(199, 'L'), kConsoleLogEcho, 255}));

    // Drawn only as far as the width reaches.
    const std::string cut = ShownNow(100.0f)[3].text;
    EXPECT_LE(DebugFont_TextWidth(cut.data(), cut.size()), 100);
    EXPECT_GT(DebugFont_TextWidth(cut.data(), cut.size()) + DebugFont_TextWidth("P", 1), 100);

    g_config.create_log = false;
    LogPrintf("not logged");
    EXPECT_EQ(ShownNow().size(), 5u);
}

TEST_F(ConsoleTest, ScriptOutputFadesWhileClosedAndALogLineHidesIt) {
    Console_Print("hello", kConsolePrint);
    for (int second = 0; second < 3; ++second) {
        Frame({}, "", kKeyPressed, 1.0f);
        EXPECT_EQ(ShownNow(), std::vector<Shown>{(Shown{"hello", kConsolePrint, 255})}) << second;
    }
    Frame({}, "", kKeyPressed, 0.5f);
    EXPECT_EQ(ShownNow(), std::vector<Shown>{(Shown{"hello", kConsolePrint, 127})});
    Frame({}, "", kKeyPressed, 0.6f);
    EXPECT_EQ(ShownNow(), std::vector<Shown>{});

    Console_Print("again", kConsolePrint);
    Frame({}, "", kKeyPressed, 1.0f);
    EXPECT_EQ(ShownTexts(), std::vector<std::string>{"again"});
    LogPrintf("a log line");
    EXPECT_EQ(ShownNow(), std::vector<Shown>{}) << "shown at once, so nothing older is";
}

TEST_F(ConsoleTest, ClsHidesNothingPrintedLater) {
    for (int i = 0; i < 5; ++i) LogPrintf("line %d", i);
    OpenConsole();
    Enter("cls");
    ASSERT_FALSE(Frame({kBackQuote}, "`"));
    Console_Print("after", kConsolePrint);
    EXPECT_EQ(ShownTexts(), std::vector<std::string>{"after"});
}

TEST_F(ConsoleTest, ShowsTheNewestLinesThatFitAbovePrompt) {
    for (int i = 0; i < 1000; ++i) Console_Print(std::to_string(i).c_str(), kConsolePrint);
    OpenConsole();
    // A 1024-pixel drawing area: the prompt line at 1009, then 67 lines above it.
    const std::vector<std::string> shown = ShownTexts();
    ASSERT_EQ(shown.size(), 67u);
    EXPECT_EQ(shown.front(), "999");
    EXPECT_EQ(shown.back(), "933");
}

TEST_F(ConsoleTest, ScriptPrintWritesToTheConsole) {
    OpenConsole();
    RegisterLuaApi();
    ASSERT_EQ(luaL_dostring(LuaGetState(), "print('one\\ntwo') print() print(3)"), 0);
    EXPECT_EQ(ShownNow(), (std::vector<Shown>{{"3", kConsolePrint, 255}, {"two", kConsolePrint, 255},
                                              {"one", kConsolePrint, 255}}));
}

TEST(ConsoleHistoryFile, SavedInTextModeAndLoadedTrimmed) {
    MountedDir dir;
    Console_Reset();
    Console_LoadHistory();
    EXPECT_TRUE(Console_Editor().history.empty()) << "a missing file is no error";
    Console_SaveHistory();
    EXPECT_FALSE(std::filesystem::exists(dir / "console_history.txt")) << "nothing to keep";

    Console_AddHistory("first");
    Console_AddHistory("second line");
    Console_SaveHistory();
    EXPECT_EQ(dir.Read("console_history.txt"), "first\r\nsecond line\r\n");

    dir.Write("console_history.txt", " a \r\n\r\na\r\n\tb\r\nc");
    Console_LoadHistory();
    EXPECT_EQ(Console_Editor().history, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(Console_Editor().historyIndex, 3);
    Console_Reset();
}

class ConsoleDrawTest : public TextDeviceTest {
protected:
    void SetUp() override {
        TextDeviceTest::SetUp();
        g_input = InputState{};
        Console_Reset();
    }
    void TearDown() override {
        SetConsoleSink(nullptr);
        Console_Reset();
        TextDeviceTest::TearDown();
    }
    // Opens the renderer on a window of one size over a virtual screen of another.
    void StartConsole(int windowWidth, int windowHeight, int virtualWidth, int virtualHeight) {
        Open(windowWidth, windowHeight, virtualWidth, virtualHeight);
        g_config.create_log = true;
        g_config.dev_mode = true;
        Console_Install();
    }
    // Ink of the prompt's green anywhere in the rectangle (edges are blended).
    bool AnyGreenInk(int left, int top, int right, int bottom) const {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) {
                const uint32_t c = At(x, y);
                if (static_cast<int>(c >> 8 & 0xFF) - static_cast<int>(c >> 16) >= 32) return true;
            }
        return false;
    }
};

TEST_F(ConsoleDrawTest, PromptTextAndCursorShareTheLetterboxedArea) {
    // 400 x 300 in a 600 x 700 window: scale 1.5, the area at y 125 to 575.
    StartConsole(600, 700, 400, 300);
    OpenConsole(0.0f);  // open time 0: the cursor at full strength
    Frame({}, "HH", kKeyPressed, 0.0f);
    Frame({kLeft}, "", kKeyPressed, 0.0f);
    BeginFrame();
    const float white[3] = {1.0f, 1.0f, 1.0f};
    DrawRectangle(white, 0, 0, 0, 400, 300, 0, 1, 1);
    Console_Render();
    EndFrame();

    const int promptY = 575 - 15;
    const int prompt = DebugFont_TextWidth("> ", 2), h = DebugFont_TextWidth("H", 1);
    EXPECT_TRUE(AnyGreenInk(0, promptY - 4, prompt, promptY + 12)) << "the prompt";
    EXPECT_TRUE(AnyGreenInk(prompt, promptY - 4, prompt + h, promptY + 12)) << "the H before the cursor";
    for (int y = promptY; y < promptY + 15; ++y)
        for (int x = prompt + h; x < prompt + 2 * h - 1; ++x) ASSERT_EQ(At(x, y), kPromptColor) << x << "," << y;
    EXPECT_NE(At(prompt + 2 * h - 1, promptY + 7), kPromptColor) << "one pixel narrower than its character";
    const uint32_t dimmed = At(300, 300);
    EXPECT_NEAR(static_cast<int>(dimmed & 0xFF), 89, 3) << "white under the 0.65 black";
    EXPECT_EQ(At(300, 60), 0u) << "the bar above the area stays clear";
}

TEST_F(ConsoleDrawTest, CursorAtTheEndIsABlankWide) {
    StartConsole(640, 480, 640, 480);
    OpenConsole(0.0f);
    Frame({}, "H", kKeyPressed, 0.0f);
    BeginFrame();
    Console_Render();
    EndFrame();
    const int x = DebugFont_TextWidth("> H", 3), blank = DebugFont_TextWidth(" ", 1), y = 480 - 15 + 7;
    for (int i = 0; i < blank; ++i) EXPECT_EQ(At(x + i, y), kPromptColor) << i;
    EXPECT_NE(At(x + blank, y), kPromptColor);
}

// Another thread logs while this one prints, draws and clears: run under the sanitizers.
TEST_F(ConsoleDrawTest, OutputFromAnotherThreadWhileDrawingAndClearing) {
    StartConsole(320, 240, 320, 240);
    ShutdownStorage();    // the log file's flush per line is not under test here
    DebugFont_Release();  // its first draw logs, while the other thread does too
    OpenConsole();
    std::atomic<bool> done = false;
    std::thread logger([&done] {
        SetThreadLogOnly();
        for (int i = 0; i < 10000; ++i) LogPrintf("thread line %d", i);
        done = true;
    });
    for (int frame = 0; !done || frame < 10; ++frame) {
        Console_Print("main", kConsolePrint);
        BeginFrame();
        Console_Render();
        EndScene();
        if (frame % 25 == 24) Console_Execute("cls");
    }
    logger.join();
    // The thread's lines keep their order.
    int previous = 10000;
    for (const std::string& text : ShownTexts()) {
        int number = 0;
        if (std::sscanf(text.c_str(), "thread line %d", &number) != 1) continue;
        EXPECT_LT(number, previous);
        previous = number;
    }
}

}  // namespace
