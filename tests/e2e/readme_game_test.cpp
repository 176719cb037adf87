// The first game of README.md, run as the README writes it: its files are taken from the
// README itself (a line "`hello/NAME`:" names the fenced block after it), so the section
// cannot drift from what the engine does.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "fixtures/temp_dir.h"
#include "game_run.h"

namespace {

namespace fs = std::filesystem;

const fs::path kReadme = fs::path(VELK_E2E_DIR) / "../../README.md";

bool StartsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

// The fenced blocks labelled "`folder/NAME`:", by NAME.
std::map<std::string, std::string> LabelledBlocks(const std::string& markdown, const std::string& folder) {
    std::map<std::string, std::string> files;
    std::istringstream lines(markdown);
    const std::string prefix = "`" + folder + "/", suffix = "`:";
    std::string name;
    for (std::string line; std::getline(lines, line);) {
        const bool label = StartsWith(line, prefix) && line.size() > prefix.size() + suffix.size() &&
                           line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0;
        if (label) {
            name = line.substr(prefix.size(), line.size() - prefix.size() - suffix.size());
        } else if (!name.empty() && StartsWith(line, "```")) {
            std::string& body = files[name];
            while (std::getline(lines, line) && line != "```") body += line + "\n";
            name.clear();
        } else if (!line.empty()) {
            name.clear();  // a label counts only right before its block
        }
    }
    return files;
}

TEST(ReadmeFirstGame, RunsAsWrittenEndsByItselfAndFindsItsSaveAgain) {
    const std::map<std::string, std::string> files = LabelledBlocks(ReadWholeFile(kReadme), "hello");
    std::vector<std::string> names;
    for (const auto& [name, body] : files) names.push_back(name);
    ASSERT_EQ(names, (std::vector<std::string>{"config.cfg", "data/init.lua", "language.txt", "version.txt"}))
        << "the four files of the README's first game";

    const TempDir game;
    for (const auto& [name, body] : files) game.Write(name, body);
    const GameExpectation expectation =
        ParseExpectation("log hello: boot\nlog hello: start number 2\nlog hello: bye after 3.");
    GameResult result;
    for (int run = 1; run <= 2; ++run) {
        result = RunGame(VELK_EXECUTABLE, game.path(), expectation);
        ASSERT_FALSE(result.timedOut) << "run " << run << " did not end by itself\n" << DescribeGameResult(result);
        ASSERT_EQ(result.exitStatus, 0) << "run " << run << "\n" << DescribeGameResult(result);
    }
    EXPECT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << result.log;
    EXPECT_EQ(game.Read("user/starts.txt"), "2") << "the save lies in the portable folder";
}

}  // namespace
