#include "platform/linux/crash_guard.h"

#include <pthread.h>
#include <signal.h>

#include <array>
#include <cstdlib>
#include <exception>

#include "platform/linux/crash_report.h"

namespace {

#ifdef VELK_SANITIZED
// Memory faults stay with the sanitizer, whose report says where and why.
constexpr int kFaultSignals[] = {SIGFPE, SIGILL, SIGABRT};
#else
constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
#endif

// A stack of its own, so a stack overflow can still be reported.
alignas(16) std::array<char, 64 * 1024> g_signal_stack;
CrashHandler g_handler = nullptr;

extern "C" void OnFaultSignal(int signal, siginfo_t* info, void* context) {
    g_handler(CrashInfo{signal, info ? info->si_addr : nullptr, context, nullptr});
}

void OnTerminate() { g_handler(CrashInfo{0, nullptr, nullptr, "terminate"}); }

}  // namespace

void InstallCrashGuard(CrashHandler handler) {
    g_handler = handler;
    PrepareCrashReport();
    stack_t stack{};
    stack.ss_sp = g_signal_stack.data();
    stack.ss_size = g_signal_stack.size();
    sigaltstack(&stack, nullptr);
    struct sigaction action {};
    action.sa_sigaction = OnFaultSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    for (const int signal : kFaultSignals) sigaction(signal, &action, nullptr);
    std::set_terminate(OnTerminate);
}

void PassSignalToSystem(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
    raise(signal);
}
