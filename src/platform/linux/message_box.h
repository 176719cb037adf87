#pragma once
// Modal message boxes. Headless (no display, SDL_VIDEODRIVER dummy or offscreen, or
// VELK_HEADLESS set) the text goes to standard error and the default answer is returned.
#include <deque>
#include <string>

enum class MessageBoxKind { Information, Warning, Error, AbortRetryIgnore };
enum class MessageBoxAnswer { Ok, Abort, Retry, Ignore };

MessageBoxAnswer ShowMessageBox(const std::string& text, const std::string& caption, MessageBoxKind kind);

bool IsHeadless();

// Tests: the next boxes answer these, in order, instead of asking anyone.
void ScriptMessageBoxAnswers(std::deque<MessageBoxAnswer> answers);
