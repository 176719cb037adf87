#pragma once
// Developer tools of TrueText (both do nothing while `true_text` is off):
// - FontBenchmark: seconds to lay out 1000 random texts from empty caches
// - FontBenchmarkLine: the line the developer hook logs for one run
// - FontGallery: one frame of a sample sentence in every font under "fonts/"
#include <string>

// 0 while TrueText is off. The texts come from a sequence of their own, seeded 0.
float FontBenchmark(const std::string& fontName, float size, int& characters);
// "Font benchmark: preparing ... took ..." for a run.
std::string FontBenchmarkLine(float seconds, int characters);
// 0 while TrueText is off; 1 once a frame is drawn.
int FontGallery(bool overlay);
