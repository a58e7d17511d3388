#pragma once

#include <QString>

#include <qcoro/qcorotask.h>

#include <utility>

class MainDialog;

// A developer's aid for the README pictures: with AMPDESK_SCREENSHOT=<png> and
// AMPDESK_SCREENSHOT_PORT=<port> in the environment the program connects to
// that port without asking, shows the tab named by AMPDESK_SCREENSHOT_TAB
// (default "Control"), saves the window as the PNG and closes. For "Terminal" it
// first opens that tab and asks the receiver a few questions there. The Tuner
// tab is shown with the tuner as source; AMPDESK_SCREENSHOT_EDITOR=<png> then
// also saves the preset editor.
struct ScreenshotRequest {
    ScreenshotRequest(QString png, QString port, QString tab = {}, QString editorPng = {})
        : pngPath(std::move(png)),
          portName(std::move(port)),
          tabTitle(std::move(tab)),
          editorPngPath(std::move(editorPng)) {}

    QString pngPath;
    QString portName;
    QString tabTitle;  // empty: "Control"
    QString editorPngPath;
    bool IsSet() const { return !pngPath.isEmpty() && !portName.isEmpty(); }
};

ScreenshotRequest ScreenshotRequestFromEnvironment();

// An empty text on success, else what went wrong.
QCoro::Task<QString> TakeConnectedScreenshot(MainDialog& dialog, ScreenshotRequest request);
