#pragma once

#include <QString>

class MainDialog;

// A developer's aid for the README picture: with AMPDESK_SCREENSHOT=<png> and
// AMPDESK_SCREENSHOT_PORT=<port> in the environment the program connects to
// that port without asking, shows the Control tab, saves the window as the PNG
// and closes.
struct ScreenshotRequest {
    QString pngPath;
    QString portName;
    bool IsSet() const { return !pngPath.isEmpty() && !portName.isEmpty(); }
};

ScreenshotRequest ScreenshotRequestFromEnvironment();

// An empty text on success, else what went wrong.
QString TakeConnectedScreenshot(MainDialog& dialog, const ScreenshotRequest& request);
