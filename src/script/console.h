#pragma once
// The developer console (dev_mode): the back-quote key opens it over the game, a line
// typed there runs as script text ("cls" clears), the log and the scripts' print write
// into its output, and the lines entered are kept in "console_history.txt".
// - Console_Install: takes the log's echo and the scripts' print (at program start)
// - Console_Update: keys and the fade; true while open (the game's update is skipped)
// - Console_Render: draws it over the letterboxed game (nothing outside dev_mode)
// - Console_Print: adds output, from any thread; the newest kConsoleOutputLimit lines stay
// - Console_Execute: runs one entered line; Console_HandleKeys: the editing keys
// - Console_AddHistory: appends unless it repeats the newest entry
// - Console_DrawText: text with its shadow, in window pixels
// - Console_LoadHistory, Console_SaveHistory: "console_history.txt", in text mode
// - Console_ShownLines, Console_Editor: what it shows and holds (tests)
// - Console_Reset: back to the program-start state (tests)
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/log.h"

inline constexpr int kConsolePrompt = 4;
inline constexpr int kConsoleEcho = 6;
// Far more than a window shows (a line is 15 pixels high), so only unseen lines go.
inline constexpr std::size_t kConsoleOutputLimit = 512;
inline constexpr int kConsoleLineHeight = 15;

struct ConsoleShownLine {
    std::string text;
    int kind = 0;
    int alpha = 255;
};

// The editing side; main thread only.
struct ConsoleEditor {
    bool open = false;
    float openTime = 0.0f;
    std::vector<std::string> history;
    int historyIndex = 0;
    std::string edit;
    int cursor = 0;
};

void Console_Install();
bool Console_Update(float dt);
void Console_Render();
void Console_Print(const char* text, int kind);
void Console_Execute(const std::string& line);
void Console_HandleKeys();
void Console_AddHistory(const std::string& line);
void Console_DrawText(uint32_t color, std::string_view text, float x, float y);
void Console_LoadHistory();
void Console_SaveHistory();

// The output lines drawn now, newest first (as many as fit above the prompt), each cut
// to what fits in `width` pixels.
void Console_ShownLines(std::vector<ConsoleShownLine>& out, float width);
const ConsoleEditor& Console_Editor();
void Console_Reset();
