#pragma once
// Screenshots: a rectangle of the back buffer, optionally resampled, saved as a BMP file
// in the writable container.
#include <string>

struct ScreenshotRect {
    int left, top, right, bottom;
};

struct ScreenshotSize {
    int width, height;
};

struct ScreenshotPlan {
    ScreenshotRect source;   // virtual coordinates, clamped to the virtual screen
    ScreenshotRect window;   // back-buffer pixels
    ScreenshotSize destination;
    bool resample;
};

// Fatal for a source rectangle that is empty once clamped.
ScreenshotPlan PlanScreenshot(const std::string& name, const ScreenshotRect* source, const ScreenshotSize* destination);
// Null name: "screenshots/screen%.3d.bmp" with the run's running number.
void TakeScreenshot(const char* name, const ScreenshotRect* source, const ScreenshotSize* destination);
