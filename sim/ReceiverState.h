#pragma once

#include <QByteArray>
#include <QHash>

#include <cstdint>
#include <vector>

// The settings one receiver holds, in the order they are reported, each key in
// the unit's own spelling ("Main.Volume", "Tuner.FM.Frequency"). Look-ups ignore
// letter case, as the unit does.
class ReceiverState {
public:
    struct Entry {
        QByteArray key;
        QByteArray value;
    };

    // Every key the console can ask of `model` (all keys when the model is not
    // one of the known ones), every key of the default lines the model has, and
    // the tuner's status keys, with default or plausible values.
    static ReceiverState ForModel(const QByteArray& model);

    const std::vector<Entry>& Entries() const { return m_entries; }
    // nullptr when the unit has no such key.
    const Entry* Find(const QByteArray& key) const;
    // Stores the value under an existing key; false when there is none.
    bool SetValue(const QByteArray& key, const QByteArray& value);
    QByteArray Value(const QByteArray& key) const;

private:
    void Add(const QByteArray& key, const QByteArray& value);

    std::vector<Entry> m_entries;
    QHash<QByteArray, std::size_t> m_indexByUpperKey;
};

// "TUNER" -> "Tuner", "SOURCE10" -> "Source10": the unit's spelling of a section.
QByteArray SectionSpelling(const char* upperSection);

// The tuner lines a "Tuner?" query reports, in the order they are sent.
extern const std::vector<const char*> kTunerStatusKeys;
