#include "script/console.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string_view>

#include "core/config.h"
#include "core/input.h"
#include "core/string_utils.h"
#include "graphics/render.h"
#include "graphics/sprite_batch.h"
#include "script/lua_base.h"
#include "storage/file_system_container.h"
#include "storage/storage.h"
#include "text/debug_font.h"

namespace {

constexpr const char* kHistoryFile = "console_history.txt";
constexpr const char* kPrompt = "> ";
constexpr std::size_t kPromptLength = 2;
constexpr std::size_t kPieceLimit = 199;
constexpr float kFadeSeconds = 4.0f;
constexpr float kBackgroundAlpha = 0.65f;
constexpr float kShadowShare = 0.8f;
constexpr float kBlack[3] = {0.0f, 0.0f, 0.0f};
constexpr float kCursorColor[3] = {0.6f, 1.0f, 0.6f};

constexpr int kKeyBackspace = 8, kKeyEnter = 13, kKeyEscape = 27, kKeyEnd = 35, kKeyHome = 36;
constexpr int kKeyLeft = 37, kKeyUp = 38, kKeyRight = 39, kKeyDown = 40, kKeyDelete = 46, kKeyBackQuote = 192;

constexpr uint32_t kKindColors[7] = {0xFFFFFF, 0xFFDD55, 0xFF8888, 0xFFFFCC, 0x99FF99, 0xCCFFCC, 0xBBDDFF};

// A rectangle in window pixels.
struct ConsoleRect {
    float x = 0.0f, y = 0.0f, width = 0.0f, height = 0.0f;
};

struct ConsoleLine {
    std::string text;
    int kind = 0;
};

// What Console_Print touches, shared with the threads that log. Lines arrive under the
// log's lock and then this one, so nothing may log or draw while holding it (the debug
// font's first draw logs).
struct Output {
    std::mutex mutex;
    std::vector<ConsoleLine> ring = std::vector<ConsoleLine>(kConsoleOutputLimit);
    // Line numbers count every line ever printed; line n sits at ring[n % limit].
    uint64_t printed = 0;
    uint64_t cleared = 0;  // lines before this one were cleared by "cls"
    uint64_t seen = 0;     // lines before this one are not shown while closed
    bool open = false;     // the editor's flag, for the other threads
    bool fading = true;
    float fadeTimer = 0.0f;
    float fadeAlpha = 1.0f;
};

Output g_output;
ConsoleEditor g_editor;
std::vector<ConsoleShownLine> g_shown;  // reused by every frame

void Append(std::string_view text, int kind) {
    ConsoleLine& line = g_output.ring[g_output.printed % kConsoleOutputLimit];
    line.text.assign(text);
    line.kind = kind;
    ++g_output.printed;
}

uint64_t FirstKept() {
    const uint64_t ringStart = g_output.printed > kConsoleOutputLimit ? g_output.printed - kConsoleOutputLimit : 0;
    return std::max(g_output.cleared, ringStart);
}

bool KeyHit(int code) {
    const uint8_t value = g_input.keys.pressed[static_cast<std::size_t>(code)];
    return value == kKeyPressed || value == kKeyRepeated;
}

bool BackQuoteStruck() { return g_input.keys.pressed[kKeyBackQuote] == kKeyPressed; }

// The drawing area in window pixels (the letterboxed virtual screen; the whole window
// without aspect correction): text is drawn in window pixels, so the rectangles are too.
ConsoleRect DrawingArea() {
    const RendererState& r = g_renderer;
    return {r.offsetX, r.offsetY, static_cast<float>(r.workWidth) * r.scaleX, static_cast<float>(r.workHeight) * r.scaleY};
}

void FillWindowRect(const ConsoleRect& rect, const float rgb[3], float alpha) {
    const uint32_t color = PackARGB(rgb[0], rgb[1], rgb[2], alpha);
    const float right = rect.x + rect.width, bottom = rect.y + rect.height;
    const RenderVertex quad[4] = {{rect.x, rect.y, 0.0f, color, 0.0f, 0.0f},
                                  {right, rect.y, 0.0f, color, 0.0f, 0.0f},
                                  {right, bottom, 0.0f, color, 0.0f, 0.0f},
                                  {rect.x, bottom, 0.0f, color, 0.0f, 0.0f}};
    DrawImage(quad, nullptr, kAddressClamp);
}

uint32_t KindColor(int kind, int alpha) {
    const uint32_t rgb = kind >= 0 && kind < 7 ? kKindColors[kind] : kKindColors[0];
    return static_cast<uint32_t>(std::clamp(alpha, 0, 255)) << 24 | rgb;
}

// The start of a text that fits in `width` pixels (at most one draw's worth of
// characters, so a line of zero-width bytes costs no more).
std::string_view Fitting(std::string_view text, float width) {
    const std::size_t limit = std::min<std::size_t>(text.size(), kDebugFontQuads);
    float used = 0.0f;
    std::size_t count = 0;
    for (; count < limit; ++count) {
        used += static_cast<float>(DebugFont_TextWidth(text.data() + count, 1));
        if (used > width) break;
    }
    return text.substr(0, count);
}

void ClearEdit() {
    g_editor.edit.clear();
    g_editor.cursor = 0;
}

void BrowseHistory() {
    const bool up = KeyHit(kKeyUp), down = KeyHit(kKeyDown);
    const int size = static_cast<int>(g_editor.history.size());
    if ((!up && !down) || size == 0) return;
    int& index = g_editor.historyIndex;
    if (up) index = index - 1 < 0 ? size - 1 : index - 1;
    if (down) index = index + 1 >= size ? 0 : index + 1;
    g_editor.edit = g_editor.history[static_cast<std::size_t>(index)];
    g_editor.cursor = static_cast<int>(g_editor.edit.size());
}

void MoveCursor() {
    int& cursor = g_editor.cursor;
    if (KeyHit(kKeyLeft)) --cursor;
    if (KeyHit(kKeyRight)) ++cursor;
    if (KeyHit(kKeyHome)) cursor = 0;
    if (KeyHit(kKeyEnd)) cursor = static_cast<int>(g_editor.edit.size());
    cursor = std::clamp(cursor, 0, static_cast<int>(g_editor.edit.size()));
}

void EditText() {
    std::string& edit = g_editor.edit;
    int& cursor = g_editor.cursor;
    if (!BackQuoteStruck()) {
        const std::size_t length = std::min(g_input.typed_length, kTypedTextLimit);
        edit.insert(static_cast<std::size_t>(cursor), g_input.typed.data(), length);
        cursor += static_cast<int>(length);
    }
    if (KeyHit(kKeyDelete) && cursor < static_cast<int>(edit.size())) edit.erase(static_cast<std::size_t>(cursor), 1);
    if (KeyHit(kKeyBackspace) && cursor > 0) edit.erase(static_cast<std::size_t>(--cursor), 1);
    if (KeyHit(kKeyEscape)) ClearEdit();
}

void EnterLine() {
    if (!KeyHit(kKeyEnter)) return;
    std::string line = g_editor.edit;
    TrimLeft(kBlanks, line);
    TrimRight(kBlanks, line);
    if (line.empty()) return;
    Console_Execute(line);
    Console_AddHistory(line);
    ClearEdit();
}

void Fade(float dt) {
    const std::lock_guard lock(g_output.mutex);
    if (!g_output.fading) return;
    g_output.fadeTimer -= dt;
    g_output.fadeAlpha = std::min(1.0f, g_output.fadeTimer);
    if (g_output.fadeTimer > 0.0f) return;
    g_output.fading = false;
    g_output.seen = g_output.printed;
}

void SetOpen(bool open) {
    g_editor.open = open;
    const std::lock_guard lock(g_output.mutex);
    g_output.open = open;
}

ConsoleRect PromptRect() {
    const ConsoleRect area = DrawingArea();
    return {area.x, area.y + area.height - kConsoleLineHeight, area.width, static_cast<float>(kConsoleLineHeight)};
}

ConsoleRect CursorRect() {
    const ConsoleRect prompt = PromptRect();
    const std::string& edit = g_editor.edit;
    const auto cursor = static_cast<std::size_t>(std::clamp(g_editor.cursor, 0, static_cast<int>(edit.size())));
    const int before = DebugFont_TextWidth(kPrompt, kPromptLength) + DebugFont_TextWidth(edit.data(), cursor);
    // Past the last character there is nothing under the cursor: it stands on a blank.
    const int width = cursor < edit.size() ? DebugFont_TextWidth(edit.data() + cursor, 1) - 1 : DebugFont_TextWidth(" ", 1);
    return {prompt.x + static_cast<float>(before), prompt.y, static_cast<float>(std::max(width, 0)),
            static_cast<float>(kConsoleLineHeight)};
}

void DrawEditor(const ConsoleRect& prompt) {
    SetBlendMode(kBlendAlpha);
    FillWindowRect(DrawingArea(), kBlack, kBackgroundAlpha);
    FlushBatch(kAllBatchSlots);
    const uint32_t color = KindColor(kConsolePrompt, 255);
    Console_DrawText(color, kPrompt, prompt.x, prompt.y);
    const float editX = prompt.x + static_cast<float>(DebugFont_TextWidth(kPrompt, kPromptLength));
    Console_DrawText(color, Fitting(g_editor.edit, prompt.x + prompt.width - editX), editX, prompt.y);
    const ConsoleRect cursor = CursorRect();
    if (cursor.x < prompt.x + prompt.width)
        FillWindowRect(cursor, kCursorColor, 0.6f + 0.4f * std::cos(10.0f * g_editor.openTime));
    FlushBatch(kAllBatchSlots);
}

}  // namespace

void Console_Install() { SetConsoleSink(Console_Print); }

bool Console_Update(float dt) {
    if (!g_config.dev_mode) return false;
    if (BackQuoteStruck()) {
        SetOpen(!g_editor.open);
        if (g_editor.open) g_editor.openTime = 0.0f;
    }
    if (!g_editor.open) {
        Fade(dt);
        return false;
    }
    g_editor.openTime += dt;
    Console_HandleKeys();
    return true;
}

void Console_HandleKeys() {
    BrowseHistory();
    MoveCursor();
    EditText();
    EnterLine();
}

void Console_Print(const char* text, int kind) {
    if (!text) return;
    const std::string_view all(text);
    const std::lock_guard lock(g_output.mutex);
    std::size_t start = 0;
    for (std::size_t end = all.find('\n'); end != std::string_view::npos; end = all.find('\n', start)) {
        if (end > start) Append(all.substr(start, std::min(end - start, kPieceLimit)), kind);
        start = end + 1;
    }
    if (start < all.size()) Append(all.substr(start), kind);
    if (g_output.open || kind != kConsolePrint) {
        g_output.seen = g_output.printed;
    } else {
        g_output.fading = true;
        g_output.fadeTimer = kFadeSeconds;
    }
}

void Console_Execute(const std::string& line) {
    if (line.empty()) return;
    if (line == "cls") {
        const std::lock_guard lock(g_output.mutex);
        g_output.cleared = g_output.printed;
        return;
    }
    Console_Print(line.c_str(), kConsoleEcho);
    LuaDoString(line.c_str());
}

void Console_AddHistory(const std::string& line) {
    if (g_editor.history.empty() || g_editor.history.back() != line) g_editor.history.push_back(line);
    g_editor.historyIndex = static_cast<int>(g_editor.history.size());
}

void Console_DrawText(uint32_t color, std::string_view text, float x, float y) {
    const float alpha = static_cast<float>(color >> 24) / 255.0f;
    DebugFont_DrawShadowed(x, y, text, color, PackARGB(0.0f, 0.0f, 0.0f, kShadowShare * alpha));
}

void Console_ShownLines(std::vector<ConsoleShownLine>& out, float width) {
    const ConsoleRect prompt = PromptRect();
    const auto room = static_cast<std::size_t>(std::max(0.0f, (prompt.y - DrawingArea().y) / kConsoleLineHeight));
    std::size_t count = 0;
    {
        const std::lock_guard lock(g_output.mutex);
        const bool open = g_output.open;
        if (open || g_output.fading) {
            const int alpha = open ? 255 : static_cast<int>(std::max(0.0f, g_output.fadeAlpha) * 255.001f);
            const uint64_t first = open ? FirstKept() : std::max(FirstKept(), g_output.seen);
            for (uint64_t n = g_output.printed; n > first && count < room; --n) {
                const ConsoleLine& line = g_output.ring[(n - 1) % kConsoleOutputLimit];
                if (!open && line.kind != kConsolePrint) continue;
                if (out.size() <= count) out.emplace_back();
                out[count].text.assign(Fitting(line.text, width));
                out[count].kind = line.kind;
                out[count].alpha = alpha;
                ++count;
            }
        }
    }
    out.resize(count);
}

void Console_Render() {
    if (!g_config.dev_mode) return;
    const ConsoleRect prompt = PromptRect();
    if (g_editor.open) DrawEditor(prompt);
    Console_ShownLines(g_shown, prompt.width);
    float y = prompt.y;
    for (const ConsoleShownLine& line : g_shown) {
        y -= kConsoleLineHeight;
        Console_DrawText(KindColor(line.kind, line.alpha), line.text, prompt.x, y);
    }
}

void Console_LoadHistory() {
    g_editor.history.clear();
    g_editor.historyIndex = 0;
    int32_t size = 0;
    const FileData data = LoadFile(kHistoryFile, &size, false);
    if (!data || size <= 0) return;
    for (std::string line : SplitString(std::string(data.get(), static_cast<std::size_t>(size)), "\n")) {
        TrimLeft(kBlanks, line);
        TrimRight(kBlanks, line);
        if (!line.empty()) Console_AddHistory(line);
    }
}

void Console_SaveHistory() {
    const FileSystemContainer* writable = GetWritableContainer();
    if (g_editor.history.empty() || !writable) return;
    std::string text;
    for (const std::string& entry : g_editor.history) text.append(entry).append("\n");
    writable->Save(kHistoryFile, text.data(), text.size(), true, false, false);
}

const ConsoleEditor& Console_Editor() { return g_editor; }

void Console_Reset() {
    {
        const std::lock_guard lock(g_output.mutex);
        g_output.printed = g_output.cleared = g_output.seen = 0;
        g_output.open = false;
        g_output.fading = true;
        g_output.fadeTimer = 0.0f;
        g_output.fadeAlpha = 1.0f;
    }
    g_editor = ConsoleEditor{};
}
