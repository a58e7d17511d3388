#pragma once

#include <QByteArray>

#include <cstdint>

// The main window's state that the settings logic depends on.
struct SessionState {
    int viewIndex = 0;  // 0 Main, 1..5 Preset1..Preset5
    bool connected = false;
    std::uint32_t modelBit = 0;
    QByteArray model;     // as answered, trimmed
    QByteArray portName;  // "COM1".., or a device path typed by the user
};

// "Main" for view 0, "Preset1".."Preset5" for 1..5, "Unknown" otherwise.
QByteArray ViewSectionOf(int viewIndex);
// The key as a page writes it in the given view: in a preset view the key's
// section is replaced by the view's ("Main.Treble" becomes "Preset3.Treble" in
// view 3).
QByteArray RedirectKeyToView(const QByteArray& key, int viewIndex);
