#include "SettingsDiff.h"

#include "ByteText.h"
#include "SettingsStore.h"

#include <QHash>
#include <QSet>

namespace {

struct Entry {
    QByteArray key;
    QByteArray value;
};

// The first line of each key, by its key in capitals.
QHash<QByteArray, Entry> FirstByKey(const SettingsStore& store) {
    QHash<QByteArray, Entry> entries;
    for (const QByteArray& line : store.Lines()) {
        Entry entry;
        if (!SplitLine(line, &entry.key, &entry.value))
            continue;
        const QByteArray upper = UpperAscii(entry.key);
        if (!entries.contains(upper))
            entries.insert(upper, std::move(entry));
    }
    return entries;
}

}  // namespace

std::vector<SettingDifference> DiffSettings(const SettingsStore& file,
                                            const SettingsStore& receiver) {
    const QHash<QByteArray, Entry> reported = FirstByKey(receiver);
    std::vector<SettingDifference> differences;
    QSet<QByteArray> seen;
    for (const QByteArray& line : file.Lines()) {
        Entry entry;
        if (!SplitLine(line, &entry.key, &entry.value))
            continue;
        const QByteArray upper = UpperAscii(entry.key);
        if (seen.contains(upper))
            continue;
        seen.insert(upper);
        const auto found = reported.constFind(upper);
        if (found == reported.constEnd()) {
            differences.push_back({entry.key, entry.value, std::nullopt});
        } else if (found->value != entry.value) {
            differences.push_back({entry.key, entry.value, found->value});
        }
    }
    for (const QByteArray& line : receiver.Lines()) {
        Entry entry;
        if (!SplitLine(line, &entry.key, &entry.value))
            continue;
        const QByteArray upper = UpperAscii(entry.key);
        if (seen.contains(upper))
            continue;
        seen.insert(upper);
        differences.push_back({entry.key, std::nullopt, entry.value});
    }
    return differences;
}

std::vector<QByteArray> ChangedLines(const SettingsStore& file, const SettingsStore& receiver) {
    const QHash<QByteArray, Entry> reported = FirstByKey(receiver);
    QHash<QByteArray, int> occurrences;
    for (const QByteArray& line : file.Lines()) {
        QByteArray key;
        if (SplitLine(line, &key, nullptr))
            ++occurrences[UpperAscii(key)];
    }
    std::vector<QByteArray> changed;
    for (const QByteArray& line : file.Lines()) {
        Entry entry;
        if (!SplitLine(line, &entry.key, &entry.value)) {
            changed.push_back(line);
            continue;
        }
        const QByteArray upper = UpperAscii(entry.key);
        const auto found = reported.constFind(upper);
        // A key the file sets twice is sent in full, so that the receiver ends
        // where a full restore leaves it (the last line wins there).
        if (occurrences.value(upper) > 1 || found == reported.constEnd() ||
            found->value != entry.value) {
            changed.push_back(line);
        }
    }
    return changed;
}
