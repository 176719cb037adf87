#include "platform/linux/events.h"

#include <SDL.h>

#include <cstring>

#include "platform/linux/key_map.h"
#include "platform/linux/signals.h"
#include "platform/linux/window.h"

namespace {

constexpr int kLargestCharacter = 255;

bool g_close_posted = false;
DoubleClickWatch g_clicks;
EventSink g_sink{};

void Add(TranslatedEvent& out, int type, int value, int x = 0, int y = 0, bool repeat = false) {
    if (out.input_count < static_cast<int>(out.inputs.size())) out.inputs[out.input_count++] = {type, value, x, y, repeat};
}

// One code point from UTF-8; malformed bytes are skipped one at a time.
const char* NextCodePoint(const char* p, const char* end, unsigned& codePoint) {
    const auto lead = static_cast<unsigned char>(*p);
    int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || end - p < length) {
        codePoint = 0xFFFD;
        return p + 1;
    }
    codePoint = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(p[i]);
        if ((next & 0xC0) != 0x80) {
            codePoint = 0xFFFD;
            return p + i;
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    // An overlong form (such as C1 81 for "A") is not a character.
    static constexpr unsigned kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < kSmallest[length]) codePoint = 0xFFFD;
    return p + length;
}

void TranslateText(const SDL_TextInputEvent& text, TranslatedEvent& out) {
    const char* p = text.text;
    const char* end = text.text + strnlen(text.text, sizeof text.text);
    while (p < end) {
        unsigned codePoint = 0;
        p = NextCodePoint(p, end, codePoint);
        if (codePoint <= kLargestCharacter) Add(out, kInputCharacter, static_cast<int>(codePoint));
    }
}

int ButtonValue(Uint8 button) {
    switch (button) {
        case SDL_BUTTON_LEFT: return 1;
        case SDL_BUTTON_RIGHT: return 2;
        case SDL_BUTTON_MIDDLE: return 3;
        default: return 0;
    }
}

void TranslateButton(const SDL_MouseButtonEvent& button, DoubleClickWatch& clicks, TranslatedEvent& out) {
    const int value = ButtonValue(button.button);
    if (value == 0) return;
    if (button.type == SDL_MOUSEBUTTONUP) {
        Add(out, kInputButtonUp, value, button.x, button.y);
        out.capture = MouseCapture::End;
        return;
    }
    // The second press of a double click queues no button-down, only its button-up.
    if (clicks.Press(value, button.x, button.y, button.timestamp)) return;
    Add(out, kInputButtonDown, value, button.x, button.y);
    out.capture = MouseCapture::Begin;
}

void TranslateWheel(const SDL_MouseWheelEvent& wheel, TranslatedEvent& out) {
    if (wheel.y == 0 && wheel.x != 0) return;
    const int delta = wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -wheel.y : wheel.y;
    Add(out, delta > 0 ? kInputWheelUp : kInputWheelDown, 0);
}

void TranslateWindow(const SDL_WindowEvent& window, TranslatedEvent& out) {
    switch (window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED: out.active = true; break;
        case SDL_WINDOWEVENT_FOCUS_LOST: out.active = false; break;
        case SDL_WINDOWEVENT_MINIMIZED: out.minimised = true; break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
        case SDL_WINDOWEVENT_SIZE_CHANGED: out.minimised = false; break;
        case SDL_WINDOWEVENT_CLOSE: out.close_origin = kCloseOriginWindow; break;
        default: break;
    }
}

void Apply(const TranslatedEvent& effects) {
    for (int i = 0; i < effects.input_count; ++i) g_sink.input(effects.inputs[i]);
    if (effects.capture != MouseCapture::Keep) SetMouseCapture(effects.capture == MouseCapture::Begin);
    if (effects.active) g_sink.active(*effects.active);
    if (effects.minimised) g_sink.minimised(*effects.minimised);
}

}  // namespace

TranslatedEvent TranslateSdlEvent(const SDL_Event& event, DoubleClickWatch& clicks) {
    TranslatedEvent out;
    switch (event.type) {
        case SDL_KEYDOWN:
            if (const int code = VirtualKeyFromSdl(event.key.keysym))
                Add(out, kInputKeyDown, code, 0, 0, event.key.repeat != 0);
            break;
        case SDL_KEYUP:
            if (const int code = VirtualKeyFromSdl(event.key.keysym)) Add(out, kInputKeyUp, code);
            break;
        case SDL_TEXTINPUT: TranslateText(event.text, out); break;
        case SDL_MOUSEMOTION: Add(out, kInputMouseMove, 0, event.motion.x, event.motion.y); break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: TranslateButton(event.button, clicks, out); break;
        case SDL_MOUSEWHEEL: TranslateWheel(event.wheel, out); break;
        case SDL_WINDOWEVENT: TranslateWindow(event.window, out); break;
        case SDL_QUIT: out.close_origin = kCloseOriginSession; break;
        default: break;
    }
    return out;
}

void SetEventSink(const EventSink& sink) { g_sink = sink; }

void PostCloseRequest() { g_close_posted = true; }

PumpResult PumpOneEvent() {
    if (g_close_posted) {
        g_close_posted = false;
        return g_sink.close(0) ? PumpResult::Quit : PumpResult::Handled;
    }
    TranslatedEvent effects;
    if (ConsumeCloseSignal()) {
        effects.close_origin = kCloseOriginSession;
    } else {
        SDL_Event event;
        if (!SDL_WasInit(SDL_INIT_VIDEO) || SDL_PollEvent(&event) == 0) return PumpResult::Idle;
        effects = TranslateSdlEvent(event, g_clicks);
    }
    Apply(effects);
    if (effects.close_origin == 0) return PumpResult::Handled;
    return g_sink.close(effects.close_origin) ? PumpResult::Quit : PumpResult::Handled;
}
