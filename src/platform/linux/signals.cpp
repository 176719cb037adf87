#include "platform/linux/signals.h"

#include <atomic>
#include <csignal>
#include <initializer_list>

namespace {

// Set from a handler on whatever thread the signal reaches, read on the main thread.
std::atomic<bool> g_close_signal = false;
std::atomic<bool> g_session_ending = false;
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void OnCloseSignal(int) {
    g_close_signal = true;
    g_session_ending = true;
}

}  // namespace

void InstallCloseSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

void IgnoreBrokenPipes() {
    std::signal(SIGPIPE, SIG_IGN);
}

bool ConsumeCloseSignal() { return g_close_signal.exchange(false); }

bool SessionEnding() { return g_session_ending; }
