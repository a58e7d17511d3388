#pragma once

#include <QByteArray>

#include <optional>
#include <vector>

class SettingsStore;

// Comparing a settings file with what the receiver reported. Keys are matched
// ignoring letter case (the receiver answers in its own spelling); values are
// compared exactly, as they travel on the wire. Of a key that occurs twice,
// the first line counts, as for GetValue.

struct SettingDifference {
    QByteArray key;                           // as the file spells it, else the receiver
    std::optional<QByteArray> fileValue;      // empty: the file has no such key
    std::optional<QByteArray> receiverValue;  // empty: the receiver did not report it
};

// Every key whose values differ: the file's keys in file order, then the keys
// only the receiver reported, in its order.
std::vector<SettingDifference> DiffSettings(const SettingsStore& file,
                                            const SettingsStore& receiver);

// The file's lines a restore has to send to make the receiver match it: those
// whose value differs or whose key the receiver did not report, every line of
// a key the file sets more than once, and lines without a key; the latter two
// go out as a full restore sends them, so the receiver ends in the same state.
std::vector<QByteArray> ChangedLines(const SettingsStore& file, const SettingsStore& receiver);
