#pragma once

#include <QByteArray>

class SettingsStore;

// Lines the receiver sends of its own accord (front panel, remote, answers to
// sets): they keep the store in step and reach the bound control without being
// echoed back; tuner lines go on to the tuner page.
struct StatusRoute {
    bool stored = false;   // the store took the value: its control shows it
    bool toTuner = false;  // the tuner page wants the line
};

// Stores the value (under the store's own spelling of the key) and says where
// else the line goes. The caller tells the others, so that whoever it tells
// may end the session.
StatusRoute RouteStatusLine(SettingsStore& store, const QByteArray& key, const QByteArray& value,
                            const QByteArray& line);
