#pragma once
// The small parsers text callers share (TrueText and bitmap fonts):
// - SplitFontSize: "arial12" -> "arial", 12 (TrueText only; nothing while it is off)
// - ParseAlignment: "left, vcenter" -> kAlignLeft | kAlignVCenter
// - ParseTextColor: "#rrggbb" or "aarrggbb" -> a colour in the back end's surface order
#include <cstdint>
#include <string>

#include "text/text_align.h"

// The size is limited as TrueText_ClampFontSize limits it.
void SplitFontSize(const std::string& text, std::string& name, float& size);
uint32_t ParseAlignment(const std::string& text);
uint32_t ParseTextColor(const std::string& text);
