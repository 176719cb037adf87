#include "game_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string DescribeGameResult(const GameResult& result) {
    return "exit " +
           (result.exitStatus ? std::to_string(*result.exitStatus) : "signal " + std::to_string(result.signal)) +
           "\n--- log.txt ---\n" + result.log + "\n--- output ---\n" + result.output;
}

namespace {

double ReadSeconds(std::istringstream& rest, const std::string& line) {
    double seconds = 0;
    if (!(rest >> seconds) || seconds <= 0) throw std::runtime_error("expect.txt: bad seconds in: " + line);
    return seconds;
}

std::optional<int> ReadExitStatus(std::istringstream& rest, const std::string& line) {
    std::string word;
    rest >> word;
    if (word == "nonzero") return std::nullopt;
    try {
        return std::stoi(word);
    } catch (const std::exception&) {
        throw std::runtime_error("expect.txt: bad exit status in: " + line);
    }
}

std::pair<std::string, std::string> ReadVariable(std::istringstream& rest, const std::string& line) {
    std::string assignment;
    rest >> assignment;
    const std::size_t equals = assignment.find('=');
    if (equals == 0 || equals == std::string::npos) throw std::runtime_error("expect.txt: bad variable in: " + line);
    return {assignment.substr(0, equals), assignment.substr(equals + 1)};
}

std::string RestOfLine(std::istringstream& rest) {
    std::string text;
    std::getline(rest >> std::ws, text);
    return text;
}

// The child: its own folder, runtime and data folders inside the copy (so parallel runs
// never see each other as a running copy), output into one file, the video dummy driver.
[[noreturn]] void StartChild(const std::filesystem::path& executable, const std::filesystem::path& folder,
                             const GameExpectation& expectation) {
    const int output = open((folder / "output.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (chdir(folder.c_str()) != 0 || output < 0) _exit(127);
    dup2(output, STDOUT_FILENO);
    dup2(output, STDERR_FILENO);
    // OpenGL runs draw in a window of the X server the test runs under.
    setenv("SDL_VIDEODRIVER", std::getenv("VELK_E2E_OPENGL") ? "x11" : "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("ALSOFT_DRIVERS", "null", 1);
    setenv("ALSOFT_CONF", "/dev/null", 1);
    setenv("VELK_HEADLESS", "1", 1);
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    setenv("XDG_DATA_HOME", (folder / "xdg-data").c_str(), 1);
    for (const auto& [name, value] : expectation.environment) setenv(name.c_str(), value.c_str(), 1);
    execl(executable.c_str(), executable.c_str(), static_cast<char*>(nullptr));
    _exit(127);
}

}  // namespace

GameExpectation ParseExpectation(const std::string& text) {
    GameExpectation expectation;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream rest(line);
        std::string directive;
        if (!(rest >> directive) || directive[0] == '#') continue;
        if (directive == "exit") {
            expectation.exitStatus = ReadExitStatus(rest, line);
        } else if (directive == "log" || directive == "line") {
            expectation.logLines.push_back({RestOfLine(rest), directive == "line"});
        } else if (directive == "no-log") {
            expectation.absentLines.push_back(RestOfLine(rest));
        } else if (directive == "time-limit") {
            expectation.timeLimit = ReadSeconds(rest, line);
        } else if (directive == "terminate-after") {
            expectation.terminateAfter = ReadSeconds(rest, line);
        } else if (directive == "env") {
            expectation.environment.push_back(ReadVariable(rest, line));
        } else {
            throw std::runtime_error("expect.txt: unknown directive in: " + line);
        }
    }
    return expectation;
}

GameResult RunGame(const std::filesystem::path& executable, const std::filesystem::path& folder,
                   const GameExpectation& expectation) {
    using Clock = std::chrono::steady_clock;
    if (std::getenv("VELK_E2E_OPENGL")) std::ofstream(folder / "config.cfg", std::ios::app) << "\nopengl = true\n";
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) StartChild(executable, folder, expectation);

    GameResult result;
    const auto started = Clock::now();
    bool terminated = false;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
        if (elapsed > expectation.timeLimit) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            result.timedOut = true;
            break;
        }
        if (!terminated && expectation.terminateAfter && elapsed > *expectation.terminateAfter) {
            kill(child, SIGTERM);
            terminated = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    result.log = ReadWholeFile(folder / "user" / "log.txt");
    result.output = ReadWholeFile(folder / "output.txt");
    return result;
}

std::vector<std::string> CheckLog(const GameExpectation& expectation, const std::string& log) {
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();  // the log is written with CR LF
        lines.push_back(line);
    }
    const auto matches = [](const GameExpectation::LogLine& wanted, const std::string& line) {
        return wanted.whole ? line == wanted.text : line.find(wanted.text) != std::string::npos;
    };
    std::vector<std::string> faults;
    auto from = lines.begin();
    for (const GameExpectation::LogLine& wanted : expectation.logLines) {
        const auto at = std::find_if(from, lines.end(), [&](const std::string& line) { return matches(wanted, line); });
        if (at == lines.end()) {
            faults.push_back("missing (in order): " + wanted.text);
        } else {
            from = at + 1;
        }
    }
    for (const std::string& unwanted : expectation.absentLines)
        if (log.find(unwanted) != std::string::npos) faults.push_back("present: " + unwanted);
    return faults;
}
