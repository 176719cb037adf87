#include "platform/linux/message_box.h"

#include <cstdio>

MessageBoxAnswer ShowMessageBox(const std::string& text, const std::string& caption, MessageBoxKind kind) {
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    return kind == MessageBoxKind::AbortRetryIgnore ? MessageBoxAnswer::Retry : MessageBoxAnswer::Ok;
}
