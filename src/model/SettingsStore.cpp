#include "SettingsStore.h"

#include "ByteText.h"
#include "DefaultSettings.h"

bool SplitLine(const QByteArray& line, QByteArray* key, QByteArray* value) {
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return false;
    if (key != nullptr)
        *key = line.left(equals);
    if (value != nullptr)
        *value = line.mid(equals + 1);
    return true;
}

void SettingsStore::ResetToDefaults() {
    const std::vector<QByteArray>& defaults = DefaultLines();
    m_lines.assign(defaults.begin(), defaults.end());
}

// Reads match by substring and the first line wins, so the store's order
// decides between keys that contain one another (Main.ListeningMode before
// Main.ListeningMode.Analog).
QByteArray SettingsStore::GetValue(const QByteArray& key) const {
    QByteArray lineKey;
    QByteArray value;
    for (const QByteArray& line : m_lines) {
        if (SplitLine(line, &lineKey, &value) && lineKey.contains(key))
            return value;
    }
    return kError;
}

bool SettingsStore::SetValue(const QByteArray& key, const QByteArray& value) {
    QByteArray lineKey;
    for (QByteArray& line : m_lines) {
        if (SplitLine(line, &lineKey, nullptr) && EqualsIgnoringCase(lineKey, key)) {
            // The stored spelling of the key survives: the receiver's own case.
            line = lineKey + '=' + value;
            return true;
        }
    }
    return false;
}

void SettingsStore::Clear() {
    m_lines.clear();
}

void SettingsStore::Append(const QByteArray& line) {
    m_lines.push_back(line);
}
