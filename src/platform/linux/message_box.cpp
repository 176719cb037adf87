#include "platform/linux/message_box.h"

#include <SDL.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>

#include "platform/linux/message_box_wait.h"
#include "platform/linux/signals.h"
#include "platform/linux/window.h"

namespace {

bool EnvironmentSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

struct Scripted {
    Scripted() {
        if (EnvironmentSet("VELK_MESSAGE_BOX_ANSWERS")) answers = ParseMessageBoxAnswers(std::getenv("VELK_MESSAGE_BOX_ANSWERS"));
    }
    std::mutex mutex;
    std::deque<MessageBoxAnswer> answers;
};

Scripted& ScriptedAnswers() {
    static Scripted scripted;
    return scripted;
}

bool TakeScriptedAnswer(MessageBoxAnswer& answer) {
    Scripted& scripted = ScriptedAnswers();
    const std::lock_guard lock(scripted.mutex);
    if (scripted.answers.empty()) return false;
    answer = scripted.answers.front();
    scripted.answers.pop_front();
    return true;
}

MessageBoxAnswer DefaultAnswer(MessageBoxKind kind) {
    return kind == MessageBoxKind::AbortRetryIgnore ? MessageBoxAnswer::Retry : MessageBoxAnswer::Ok;
}

Uint32 BoxFlags(MessageBoxKind kind) {
    switch (kind) {
        case MessageBoxKind::Information: return SDL_MESSAGEBOX_INFORMATION;
        case MessageBoxKind::Warning:
        case MessageBoxKind::AbortRetryIgnore: return SDL_MESSAGEBOX_WARNING;
        case MessageBoxKind::Error: return SDL_MESSAGEBOX_ERROR;
    }
    return SDL_MESSAGEBOX_INFORMATION;
}

// False when the box gave no answer: SDL could not show it (no X font, say), or the
// session ended while it was open.
bool ShowSdlBox(const std::string& text, const std::string& caption, MessageBoxKind kind, SDL_Window* owner,
                MessageBoxAnswer& answer) {
    static const SDL_MessageBoxButtonData kOk[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
         static_cast<int>(MessageBoxAnswer::Ok), "OK"}};
    static const SDL_MessageBoxButtonData kAbortRetryIgnore[] = {
        {0, static_cast<int>(MessageBoxAnswer::Abort), "Abort"},
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, static_cast<int>(MessageBoxAnswer::Retry), "Retry"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, static_cast<int>(MessageBoxAnswer::Ignore), "Ignore"}};
    const bool choice = kind == MessageBoxKind::AbortRetryIgnore;
    const SDL_MessageBoxData box{BoxFlags(kind), owner, caption.c_str(), text.c_str(),
                                 choice ? static_cast<int>(std::size(kAbortRetryIgnore)) : 1,
                                 choice ? kAbortRetryIgnore : kOk, nullptr};
    int pressed = -1;
    int result = -1;
    ShowUntil([&] { result = SDL_ShowMessageBox(&box, &pressed); }, SessionEnding);
    if (result != 0 || pressed < 0) return false;
    answer = static_cast<MessageBoxAnswer>(pressed);
    return true;
}

}  // namespace

bool IsHeadless() {
    if (EnvironmentSet("VELK_HEADLESS")) return true;
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0)) return true;
    return !EnvironmentSet("DISPLAY") && !EnvironmentSet("WAYLAND_DISPLAY");
}

void ScriptMessageBoxAnswers(std::deque<MessageBoxAnswer> answers) {
    Scripted& scripted = ScriptedAnswers();
    const std::lock_guard lock(scripted.mutex);
    scripted.answers = std::move(answers);
}

std::deque<MessageBoxAnswer> ParseMessageBoxAnswers(const std::string& text) {
    static constexpr struct {
        const char* word;
        MessageBoxAnswer answer;
    } kWords[] = {{"ok", MessageBoxAnswer::Ok},
                  {"abort", MessageBoxAnswer::Abort},
                  {"retry", MessageBoxAnswer::Retry},
                  {"ignore", MessageBoxAnswer::Ignore}};
    std::deque<MessageBoxAnswer> answers;
    constexpr const char* kSeparators = ", ";
    for (std::size_t start = text.find_first_not_of(kSeparators); start != std::string::npos;) {
        const std::size_t end = text.find_first_of(kSeparators, start);
        const std::string word = text.substr(start, end - start);
        for (const auto& known : kWords)
            if (strcasecmp(word.c_str(), known.word) == 0) answers.push_back(known.answer);
        start = text.find_first_not_of(kSeparators, end);
    }
    return answers;
}

MessageBoxAnswer ShowMessageBox(const std::string& text, const std::string& caption, MessageBoxKind kind,
                                SDL_Window* owner) {
    MessageBoxAnswer answer = DefaultAnswer(kind);
    // The game's window owns every box: a window manager keeps it above the game, and
    // without one it is at least opened over it.
    if (TakeScriptedAnswer(answer) || IsHeadless() || SessionEnding() ||
        !ShowSdlBox(text, caption, kind, owner ? owner : GetAppWindow(), answer)) {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    }
    return answer;
}
