#pragma once
// Leading-number readers for data files, with the C runtime's rules (leading blanks,
// optional sign, digits; 0 when there are none) but no undefined overflow.

// A decimal int; values outside the 32-bit range saturate.
int TextToInt(const char* text);
// A float as atof reads it; out-of-range values become +-HUGE_VALF or 0.
float TextToFloat(const char* text);
