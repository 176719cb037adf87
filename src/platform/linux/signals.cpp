#include "platform/linux/signals.h"

#include <csignal>
#include <initializer_list>

namespace {

volatile std::sig_atomic_t g_close_signal = 0;

extern "C" void OnCloseSignal(int) { g_close_signal = 1; }

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

bool ConsumeCloseSignal() {
    if (!g_close_signal) return false;
    g_close_signal = 0;
    return true;
}
