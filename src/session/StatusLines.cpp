#include "StatusLines.h"

#include "SettingsStore.h"

namespace {

// Compared case-sensitively on the line's first bytes: the receiver spells its
// tuner keys this way, and "tuner.preset5=..." is stored but not forwarded.
const QByteArray kCurrentPresetPrefix = QByteArrayLiteral("Tuner.Preset=");
const QByteArray kPresetPrefix = QByteArrayLiteral("Tuner.Preset");
const QByteArray kTunerPrefix = QByteArrayLiteral("Tuner");

}  // namespace

StatusLineHandler::StatusLineHandler(SettingsStore& store, KeyChangedHook keyChanged)
    : m_store(store), m_keyChanged(std::move(keyChanged)) {}

void StatusLineHandler::HandleStatusLine(const QByteArray& key, const QByteArray& value,
                                         const QByteArray& line) {
    if (m_store.SetValue(key, value)) {
        if (m_keyChanged)
            m_keyChanged(key, value);
        // The current-preset line is the store's business only; numbered preset
        // lines also carry a station record the tuner page lists.
        if (!line.startsWith(kCurrentPresetPrefix) && line.startsWith(kPresetPrefix)) {
            ForwardToTuner(line);
        }
        return;
    }
    if (line.startsWith(kTunerPrefix))
        ForwardToTuner(line);
}

void StatusLineHandler::ForwardToTuner(const QByteArray& line) const {
    if (m_tunerHook)
        m_tunerHook(line);
}
