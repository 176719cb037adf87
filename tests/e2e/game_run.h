#pragma once
// Runs one end-to-end game: a copy of its folder, the real executable, headless, with a
// time limit; then what it left behind.
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What a game's "expect.txt" asks for, one directive a line ("#" starts a comment):
//   exit N              the exit status (default 0); "exit nonzero" for any failure
//   log TEXT            "log.txt" has a line containing TEXT, after the previous match
//   line TEXT           the same for a line that is exactly TEXT
//   no-log TEXT         no line of "log.txt" contains TEXT
//   time-limit SECONDS  the run is killed and fails after this long (default 20)
//   terminate-after S   SIGTERM is sent after S seconds (a game that never ends itself)
//   env NAME=VALUE      the engine runs with this environment variable
struct GameExpectation {
    std::optional<int> exitStatus = 0;  // empty: any non-zero status
    struct LogLine {
        std::string text;
        bool whole = false;  // the line must be exactly the text
        bool operator==(const LogLine&) const = default;
    };
    std::vector<LogLine> logLines;
    std::vector<std::string> absentLines;
    double timeLimit = 20;
    std::optional<double> terminateAfter;
    std::vector<std::pair<std::string, std::string>> environment;
};

// Throws std::runtime_error naming the line it cannot read.
GameExpectation ParseExpectation(const std::string& text);

struct GameResult {
    bool timedOut = false;
    std::optional<int> exitStatus;  // empty when a signal ended the process
    int signal = 0;
    std::string log;     // the portable folder's "log.txt"
    std::string output;  // standard output and error together
};

// Runs the executable in `folder` (a prepared copy of the game). With VELK_E2E_OPENGL set
// the game's configuration gets `opengl = true` and the engine draws on the X display.
GameResult RunGame(const std::filesystem::path& executable, const std::filesystem::path& folder,
                   const GameExpectation& expectation);

// The lines the expectation asks for that the log lacks, and those it forbids that it has.
std::vector<std::string> CheckLog(const GameExpectation& expectation, const std::string& log);

// A file's bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);
// The exit status (or signal), "log.txt" and the output, for a failure message.
std::string DescribeGameResult(const GameResult& result);
