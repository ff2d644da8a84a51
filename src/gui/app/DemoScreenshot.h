#pragma once
#include <QString>

class QWidget;

// For unattended demo runs: once the window has been shown for nDelayMs,
// saves a PNG of it to sPath and ends the event loop (exit code 0 when saved).
void ScheduleScreenshot(QWidget *pWindow, const QString &sPath, int nDelayMs);

// Reads UA_SCREENSHOT (target path) and UA_SCREENSHOT_DELAY_MS (default 1500)
// and schedules the screenshot when a path is given.
void ScheduleScreenshotFromEnvironment(QWidget *pWindow);
