#pragma once
// The three start files, read from the start directory before any data is mounted, into
// the configuration record.
//   LoadLanguageFile  "language.txt"
//   LoadVersionFile   "version.txt"
//   LoadConfig        the configuration file named by config_file
#include <string>

// "language.txt": false (language unchanged) when missing or empty.
bool LoadLanguageFile(std::string& language);
// "version.txt": the first word is the number, the second the date; false when missing or empty.
bool LoadVersionFile(unsigned int& number, std::string& date);
// The configuration file named by config_file; missing is fatal.
void LoadConfig();
