#include "StatusLines.h"

#include "SettingsStore.h"

namespace {

// Compared case-sensitively on the line's first bytes: the receiver spells its
// tuner keys this way, and "tuner.preset5=..." is stored but not forwarded.
const QByteArray kCurrentPresetPrefix = QByteArrayLiteral("Tuner.Preset=");
const QByteArray kPresetPrefix = QByteArrayLiteral("Tuner.Preset");
const QByteArray kTunerPrefix = QByteArrayLiteral("Tuner");

}  // namespace

StatusRoute RouteStatusLine(SettingsStore& store, const QByteArray& key, const QByteArray& value,
                            const QByteArray& line) {
    if (store.SetValue(key, value)) {
        // The current-preset line is the store's business only; numbered preset
        // lines also carry a station record the tuner page lists.
        return {true, !line.startsWith(kCurrentPresetPrefix) && line.startsWith(kPresetPrefix)};
    }
    return {false, line.startsWith(kTunerPrefix)};
}
