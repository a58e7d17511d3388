#include "SettingsStore.h"

#include "ByteText.h"
#include "DefaultSettings.h"

#include <algorithm>
#include <string_view>
#include <utility>

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

bool IsSettingLine(const QByteArray& line) {
    QByteArray key;
    if (!SplitLine(line, &key, nullptr))
        return false;
    key = TrimmedBytes(key);
    const auto isOperator = [](char c) { return c == '?' || c == '+' || c == '-'; };
    return !key.isEmpty() && !key.startsWith('#') &&
           std::none_of(key.cbegin(), key.cend(), isOperator);
}

void SettingsStore::ResetToDefaults() {
    Clear();
    for (const QByteArray& line : DefaultLines())
        Append(line);
}

// Reads match by substring and the first line wins, so the store's order
// decides between keys that contain one another (Main.ListeningMode before
// Main.ListeningMode.Analog).
int SettingsStore::FindKeyContaining(const QByteArray& key) const {
    const std::string_view wanted(key.constData(), static_cast<std::size_t>(key.size()));
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const QByteArray& line = m_lines[i];
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const std::string_view lineKey(line.constData(), static_cast<std::size_t>(equals));
        if (lineKey.find(wanted) != std::string_view::npos)
            return static_cast<int>(i);
    }
    return -1;
}

int SettingsStore::PositionOf(const QByteArray& key) const {
    int position = -1;
    const auto remembered = m_readIndex.constFind(key);
    if (remembered != m_readIndex.constEnd()) {
        position = *remembered;
    } else {
        position = FindKeyContaining(key);
        if (m_readIndex.size() >= kMaxRememberedReads) {
            m_readIndex.clear();
            m_rememberedMisses = 0;
        }
        m_readIndex.insert(key, position);
        if (position < 0)
            ++m_rememberedMisses;
    }
    return position;
}

QByteArray SettingsStore::ValueAt(int position) const {
    QByteArray value;
    SplitLine(m_lines[static_cast<std::size_t>(position)], nullptr, &value);
    return value;
}

QByteArray SettingsStore::UpperKeyAt(int position) const {
    QByteArray key;
    SplitLine(m_lines[static_cast<std::size_t>(position)], &key, nullptr);
    return UpperAscii(std::move(key));
}

QByteArray SettingsStore::GetValue(const QByteArray& key) const {
    const int position = PositionOf(key);
    if (position < 0)
        return kError;
    if (!m_pending.isEmpty()) {
        const auto pending = m_pending.constFind(UpperKeyAt(position));
        if (pending != m_pending.constEnd())
            return pending->value;
    }
    return ValueAt(position);
}

QByteArray SettingsStore::GetConfirmed(const QByteArray& key) const {
    const int position = PositionOf(key);
    return position < 0 ? kError : ValueAt(position);
}

quint64 SettingsStore::SetPending(const QByteArray& key, const QByteArray& value) {
    QByteArray upper = UpperAscii(key);
    if (!m_keyIndex.contains(upper))
        return 0;
    m_pending.insert(std::move(upper), {value, ++m_lastGeneration});
    return m_lastGeneration;
}

bool SettingsStore::DropPending(const QByteArray& key, quint64 generation) {
    const auto found = m_pending.find(UpperAscii(key));
    if (found == m_pending.end() || (generation != 0 && found->generation != generation))
        return false;
    m_pending.erase(found);
    return true;
}

std::vector<QByteArray> SettingsStore::DropAllPending() {
    std::vector<QByteArray> keys;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        QByteArray key;
        SplitLine(m_lines[static_cast<std::size_t>(m_keyIndex.value(it.key()))], &key, nullptr);
        keys.push_back(std::move(key));
    }
    m_pending.clear();
    return keys;
}

bool SettingsStore::SetValue(const QByteArray& key, const QByteArray& value) {
    const auto found = m_keyIndex.constFind(UpperAscii(key));
    if (found == m_keyIndex.constEnd())
        return false;
    QByteArray& line = m_lines[static_cast<std::size_t>(*found)];
    // The stored spelling of the key survives: the receiver's own case.
    line = line.left(line.indexOf('=') + 1) + value;
    return true;
}

void SettingsStore::Clear() {
    m_lines.clear();
    m_pending.clear();
    m_keyIndex.clear();
    m_readIndex.clear();
    m_rememberedMisses = 0;
}

void SettingsStore::Append(const QByteArray& line) {
    m_lines.push_back(line);
    IndexLine(static_cast<int>(m_lines.size() - 1));
    // A key no line carried so far may be carried by this one; keys already
    // found stay found, since the new line comes after them.
    if (m_rememberedMisses > 0) {
        m_readIndex.removeIf([](const auto& entry) { return entry.value() < 0; });
        m_rememberedMisses = 0;
    }
}

void SettingsStore::IndexLine(int position) {
    QByteArray key;
    if (!SplitLine(m_lines[static_cast<std::size_t>(position)], &key, nullptr))
        return;
    // The first line of a key wins.
    QByteArray upper = UpperAscii(std::move(key));
    if (!m_keyIndex.contains(upper))
        m_keyIndex.insert(std::move(upper), position);
}
