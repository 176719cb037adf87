#pragma once
// xdotool on the game's window, under the private X server of tests/tools/run_under_x.sh.
//   UnderPrivateX          whether this run has that server (else the test skips)
//   FindWindowScript       shell text that sets $id to the game's window once it shows
//   ClickInWindow          clicks at window pixels, one by one
#include <string>
#include <utility>
#include <vector>

bool UnderPrivateX();
// Waits up to a minute for the visible window titled `title`, then half a second more so
// the game is running its frames.
std::string FindWindowScript(const std::string& title);
// The status of the shell that ran the clicks (0 when all were given).
int ClickInWindow(const std::string& title, const std::vector<std::pair<int, int>>& points);
