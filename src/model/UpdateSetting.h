#pragma once

#include <QByteArray>

class CommandChannel;
class SettingsStore;
struct SessionState;

// The one path by which a page changes a setting (the page binding keeps a
// reload of the pages from calling it). In a preset view the key's section is
// replaced by the view's ("Main.Treble" becomes "Preset3.Treble" in view 3).
// The store takes the value; when connected, the receiver is set to it and
// the reply awaited. False when not connected or the receiver timed out.
bool UpdateSetting(SettingsStore& store, CommandChannel& channel, const SessionState& state,
                   const QByteArray& key, const QByteArray& value);

// The key as UpdateSetting writes it in the given view.
QByteArray RedirectKeyToView(const QByteArray& key, int viewIndex);
