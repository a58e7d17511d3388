#include "UpdateSetting.h"

#include "CommandChannel.h"
#include "SessionState.h"
#include "SettingsStore.h"

bool UpdateSetting(SettingsStore& store, CommandChannel& channel, const SessionState& state,
                   const QByteArray& key, const QByteArray& value) {
    store.SetValue(key, value);
    if (!state.connected)
        return false;
    return channel.Set(key, value);
}
