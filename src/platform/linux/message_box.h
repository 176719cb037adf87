#pragma once
// Modal message boxes, owned by the game's window when there is one. Headless (no
// display, SDL_VIDEODRIVER dummy or offscreen, or VELK_HEADLESS set), once the session is
// ending (a close signal, which also ends a box that is open), or when the box cannot be
// shown, the text goes to standard error and the default answer is returned. The default
// answer of Abort/Retry/Ignore is Retry.
#include <deque>
#include <string>

enum class MessageBoxKind { Information, Warning, Error, AbortRetryIgnore };
enum class MessageBoxAnswer { Ok, Abort, Retry, Ignore };

struct SDL_Window;

// Modal to the owner, by default the game's window.
MessageBoxAnswer ShowMessageBox(const std::string& text, const std::string& caption, MessageBoxKind kind,
                                SDL_Window* owner = nullptr);

bool IsHeadless();

// Tests: the next boxes answer these, in order, instead of asking anyone. A process
// started with VELK_MESSAGE_BOX_ANSWERS (words "ok", "abort", "retry", "ignore"
// separated by commas) begins with those.
void ScriptMessageBoxAnswers(std::deque<MessageBoxAnswer> answers);
// The answers that VELK_MESSAGE_BOX_ANSWERS's text stands for; unknown words are skipped.
std::deque<MessageBoxAnswer> ParseMessageBoxAnswers(const std::string& text);
