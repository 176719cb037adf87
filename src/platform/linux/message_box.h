#pragma once
// Modal message boxes. Headless (no display, or a dummy video driver) the text goes
// to standard error and the default answer is returned.
#include <string>

enum class MessageBoxKind { Information, Warning, Error, AbortRetryIgnore };
enum class MessageBoxAnswer { Ok, Abort, Retry, Ignore };

MessageBoxAnswer ShowMessageBox(const std::string& text, const std::string& caption, MessageBoxKind kind);
