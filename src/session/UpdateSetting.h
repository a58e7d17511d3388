#pragma once

#include <QByteArray>

class CommandChannel;
class SettingsStore;
struct SessionState;

// The one path by which a page changes a setting (the page binding keeps a
// reload of the pages from calling it; the binding model has already put the
// key in the view's section). The store takes the value at once, so that rules
// that follow the user's choice follow it without waiting. When connected the
// set is queued for the receiver, whose answer (a status line) then puts the
// value it kept in the store. False when not connected.
bool UpdateSetting(SettingsStore& store, CommandChannel& channel, const SessionState& state,
                   const QByteArray& key, const QByteArray& value);
