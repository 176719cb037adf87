#include "core/crash.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "core/config.h"
#include "core/log.h"
#include "platform/linux/crash_guard.h"
#include "platform/linux/crash_report.h"
#include "platform/linux/process_spawn.h"

namespace {

// An argument vector kept ready for execution: strings and the pointer array over them.
struct PreparedArguments {
    std::vector<std::string> strings;
    std::vector<char*> pointers;

    void Set(const std::string& program, std::vector<std::string> arguments) {
        strings.clear();
        strings.push_back(program);
        for (std::string& argument : arguments) strings.push_back(std::move(argument));
        pointers.clear();
        for (std::string& s : strings) pointers.push_back(s.data());
        pointers.push_back(nullptr);
    }
};

struct CrashState {
    std::string dump_path;
    std::string log_path;
    std::string sender_override;
    std::string sender_program;
    PreparedArguments with_dump;
    PreparedArguments without_dump;
    std::atomic<bool> report_once{true};
    std::atomic<bool> dump_written{false};
    std::atomic<bool> sender_started{false};
};

CrashState& State() {
    static CrashState state;
    return state;
}

std::string SenderProgram() {
    const CrashState& state = State();
    if (!state.sender_override.empty()) return state.sender_override;
    const std::string directory = ExecutableDirectory();
    return directory.empty() ? std::string() : directory + "/" + kCrashSenderName;
}

}  // namespace

std::vector<std::string> CrashSenderArguments(const CrashSenderInput& input) {
    if (!input.create_log) return {"LOCAL"};
    if (!input.send_errors) return {"LOCAL", input.log_path};
    if (input.dump_written) return {input.product_code, input.log_path, input.dump_path};
    return {input.product_code, input.log_path};
}

void SetCrashDumpPath(const std::string& dumpPath) { State().dump_path = dumpPath; }

void RefreshCrashSender() {
    CrashState& state = State();
    state.sender_program = SenderProgram();
    // Read now: a fatal error in start-up (a script error, say) comes after the writable
    // container is there but before the dump path is set.
    state.log_path = LogFilePath();
    CrashSenderInput input{g_config.create_log, g_config.send_errors, true, g_config.product_code, state.log_path,
                           state.dump_path};
    state.with_dump.Set(state.sender_program, CrashSenderArguments(input));
    input.dump_written = false;
    state.without_dump.Set(state.sender_program, CrashSenderArguments(input));
}

int CreateExceptionReport(const CrashInfo& info, bool createLog, const std::string& dumpPath) {
    if (!createLog) return 1;
    CrashState& state = State();
    if (!state.report_once.exchange(false)) return 0;
    if (dumpPath.empty() || !WriteCrashReportFile(dumpPath.c_str(), info)) return 1;
    state.dump_written = true;
    return 1;
}

bool StartCrashSender() {
    CrashState& state = State();
    if (state.sender_started.exchange(true)) return false;
    PreparedArguments& arguments = state.dump_written ? state.with_dump : state.without_dump;
    if (!state.sender_program.empty()) SpawnDetached(state.sender_program.c_str(), arguments.pointers.data());
    return true;
}

void InstallCrashPath() {
    RefreshCrashSender();
    InstallCrashGuard(EndProcessAfterCrash);
}

void EndProcessAfterCrash(const CrashInfo& info) {
    const CrashState& state = State();
    if (CreateExceptionReport(info, g_config.create_log, state.dump_path) == 0) {
        if (info.signal != 0) PassSignalToSystem(info.signal);
        std::_Exit(kExitCrash);
    }
    StartCrashSender();
    std::_Exit(kExitCrash);
}

void EndProcessAfterFatalError() {
    std::fflush(nullptr);
    RefreshCrashSender();
    const CrashInfo info{0, nullptr, nullptr, "fatal error"};
    if (CreateExceptionReport(info, g_config.create_log, State().dump_path) == 1) StartCrashSender();
    std::_Exit(kExitFatal);
}

void SetCrashSenderProgram(const std::string& path) {
    State().sender_override = path;
    RefreshCrashSender();
}

void ResetCrashStateForTests() {
    CrashState& state = State();
    state.report_once = true;
    state.dump_written = false;
    state.sender_started = false;
}
