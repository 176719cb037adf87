#pragma once
// SDL events to the engine's window effects: queued input, focus, minimise and close.
#include <SDL_events.h>

#include <array>
#include <optional>

#include "platform/linux/double_click.h"
#include "platform/linux/input_event.h"

enum class MouseCapture { Keep, Begin, End };

inline constexpr int kCloseOriginSession = 1;
inline constexpr int kCloseOriginWindow = 2;

struct TranslatedEvent {
    // Input events in window client pixels, in order (a text event may carry several).
    std::array<InputEvent, SDL_TEXTINPUTEVENT_TEXT_SIZE> inputs{};
    int input_count = 0;
    MouseCapture capture = MouseCapture::Keep;
    std::optional<bool> active;
    std::optional<bool> minimised;
    // Non-zero: a close request from that origin.
    int close_origin = 0;
};

// Pure: no SDL state is read or changed, so tests can feed synthetic events. Button
// presses go through clicks, the pump's own watch.
TranslatedEvent TranslateSdlEvent(const SDL_Event& event, DoubleClickWatch& clicks);

enum class PumpResult { Idle, Handled, Quit };

// Where the pump's effects go: the app installs it before the first pump.
struct EventSink {
    void (*input)(const InputEvent& event);
    void (*active)(bool active);
    void (*minimised)(bool minimised);
    // A close request from that origin (0: one the engine posted); true to quit.
    bool (*close)(int origin);
};
void SetEventSink(const EventSink& sink);

// A close request from inside the engine: the next pump handles it as the window's close
// message, with the close origin left as it was.
void PostCloseRequest();

// Takes at most one pending event (a close signal first) and applies its effects; never
// waits.
PumpResult PumpOneEvent();
