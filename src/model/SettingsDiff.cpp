#include "SettingsDiff.h"

#include "ByteText.h"
#include "SettingsStore.h"

#include <QHash>
#include <QSet>

namespace {

struct Entry {
    QByteArray upperKey;  // what keys are matched by
    QByteArray key;
    QByteArray value;
};

// The store's key=value lines in order; lines without a key are left out.
std::vector<Entry> KeyedLines(const SettingsStore& store) {
    std::vector<Entry> entries;
    for (const QByteArray& line : store.Lines()) {
        Entry entry;
        if (!SplitLine(line, &entry.key, &entry.value))
            continue;
        entry.upperKey = UpperAscii(entry.key);
        entries.push_back(std::move(entry));
    }
    return entries;
}

// The first line of each key, by its key in capitals.
QHash<QByteArray, QByteArray> FirstValues(const std::vector<Entry>& entries) {
    QHash<QByteArray, QByteArray> values;
    for (const Entry& entry : entries) {
        if (!values.contains(entry.upperKey))
            values.insert(entry.upperKey, entry.value);
    }
    return values;
}

}  // namespace

std::vector<SettingDifference> DiffSettings(const SettingsStore& file,
                                            const SettingsStore& receiver) {
    const std::vector<Entry> fileEntries = KeyedLines(file);
    const std::vector<Entry> receiverEntries = KeyedLines(receiver);
    const QHash<QByteArray, QByteArray> reported = FirstValues(receiverEntries);
    std::vector<SettingDifference> differences;
    QSet<QByteArray> seen;
    for (const Entry& entry : fileEntries) {
        if (seen.contains(entry.upperKey))
            continue;
        seen.insert(entry.upperKey);
        const auto found = reported.constFind(entry.upperKey);
        if (found == reported.constEnd()) {
            differences.push_back({entry.key, entry.value, std::nullopt});
        } else if (*found != entry.value) {
            differences.push_back({entry.key, entry.value, *found});
        }
    }
    for (const Entry& entry : receiverEntries) {
        if (seen.contains(entry.upperKey))
            continue;
        seen.insert(entry.upperKey);
        differences.push_back({entry.key, std::nullopt, entry.value});
    }
    return differences;
}

std::vector<QByteArray> ChangedLines(const SettingsStore& file, const SettingsStore& receiver) {
    const QHash<QByteArray, QByteArray> reported = FirstValues(KeyedLines(receiver));
    QHash<QByteArray, int> occurrences;
    for (const Entry& entry : KeyedLines(file))
        ++occurrences[entry.upperKey];

    std::vector<QByteArray> changed;
    for (const QByteArray& line : file.Lines()) {
        QByteArray key;
        QByteArray value;
        if (!SplitLine(line, &key, &value)) {
            changed.push_back(line);
            continue;
        }
        const QByteArray upper = UpperAscii(key);
        const auto found = reported.constFind(upper);
        // A key the file sets twice is sent in full, so that the receiver ends
        // where a full restore leaves it (the last line wins there).
        if (occurrences.value(upper) > 1 || found == reported.constEnd() || *found != value)
            changed.push_back(line);
    }
    return changed;
}
