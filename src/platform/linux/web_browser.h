#pragma once
// Web pages in the user's browser.
//   OpenWebAddress   hands the address to the opener, without a shell and without waiting

// The opener is "xdg-open", or the program VELK_WEB_OPENER names (found through PATH);
// it gets the address as its one argument. False when it could not be started.
bool OpenWebAddress(const char* address);
