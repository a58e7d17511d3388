#pragma once

#include <QByteArray>
#include <QHash>

#include <vector>

// The one in-memory copy of the receiver's parameters: an ordered list of
// "key=value" lines. Lines are only ever appended by whole-store refills
// (defaults, bulk read, settings file), replaced in place by SetValue, and
// never removed one by one. Lines are kept exactly as supplied.
//
// The lines hold what the receiver last said (confirmed). Beside them, a key
// may carry the newest value the user asked for and the receiver has not yet
// confirmed (pending): the pages and their rules read it at once through
// GetValue, while a saved file and a compare see only the confirmed lines.
//
// Keys change only with a refill, never with SetValue, so both look-ups are
// indexed: SetValue by the key in capitals (the first line of each key, in
// store order), GetValue by remembering, per asked key, which line its scan
// found. A status flood then costs no scan of the store per line.
class SettingsStore {
public:
    static inline const QByteArray kError = QByteArrayLiteral("error");

    // Empties the store and appends the default lines.
    void ResetToDefaults();
    // Value of the first line whose key contains `key` (case-sensitive); "error" when none.
    // A value asked for and still in flight is read in place of the line's own.
    QByteArray GetValue(const QByteArray& key) const;
    // As GetValue, but what the receiver last said, whatever is in flight.
    QByteArray GetConfirmed(const QByteArray& key) const;
    // Whether GetValue finds a line for `key`, whatever its value.
    bool Holds(const QByteArray& key) const { return PositionOf(key) >= 0; }
    // Replaces the first line whose key equals `key` ignoring case, keeping that
    // line's own spelling of the key. Never adds a line.
    bool SetValue(const QByteArray& key, const QByteArray& value);

    // A value asked for and not yet confirmed, for a key the store holds
    // (compared ignoring case). Returns its generation, which a later Drop
    // names so that only the newest value's answer ends it; 0 when no line
    // carries the key.
    quint64 SetPending(const QByteArray& key, const QByteArray& value);
    // Ends the pending value of `key` if it is still the one of `generation`
    // (any generation when 0). True when one was dropped.
    bool DropPending(const QByteArray& key, quint64 generation = 0);
    // Ends every pending value; returns the stored spelling of their keys.
    std::vector<QByteArray> DropAllPending();
    bool HasAnyPending() const { return !m_pending.isEmpty(); }

    // Whole-store refills only.
    void Clear();
    void Append(const QByteArray& line);

    const std::vector<QByteArray>& Lines() const { return m_lines; }
    int LineCount() const { return static_cast<int>(m_lines.size()); }
    bool IsEmpty() const { return m_lines.empty(); }

    // True while a bulk read or restore walks the store. Connecting and loading
    // a file must not start then: they would refill the store under its feet.
    bool IsBusy() const { return m_busy; }

    // One operation walks a store at a time (the session stops one before it
    // starts the next), so a scope simply marks and clears.
    class BusyScope {
    public:
        explicit BusyScope(SettingsStore& store) : m_store(store) { m_store.m_busy = true; }
        ~BusyScope() { m_store.m_busy = false; }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        SettingsStore& m_store;
    };

private:
    // At most this many asked keys are remembered; the pages and the tuner ask
    // a few hundred, so only a caller asking for arbitrary keys reaches it.
    static constexpr qsizetype kMaxRememberedReads = 4096;

    int FindKeyContaining(const QByteArray& key) const;
    // The line GetValue reads for `key`, -1 for none.
    int PositionOf(const QByteArray& key) const;
    void IndexLine(int position);

    struct PendingValue {
        QByteArray value;
        quint64 generation = 0;
    };
    // The line's key in capitals for `position`.
    QByteArray UpperKeyAt(int position) const;
    QByteArray ValueAt(int position) const;

    std::vector<QByteArray> m_lines;
    // Key in capitals -> the newest value asked for and not yet confirmed.
    QHash<QByteArray, PendingValue> m_pending;
    quint64 m_lastGeneration = 0;
    // Key in capitals -> position of the first line carrying it.
    QHash<QByteArray, int> m_keyIndex;
    // Asked key -> position of the line GetValue's scan found, -1 for none.
    // Emptied on every refill.
    mutable QHash<QByteArray, int> m_readIndex;
    mutable int m_rememberedMisses = 0;  // entries of m_readIndex that are -1
    bool m_busy = false;
};

// The key of a line is the text before its first "="; a line without "=" has none.
bool SplitLine(const QByteArray& line, QByteArray* key, QByteArray* value);
// A line that sets something: a key, then "=". A blank line, a "#" comment or
// any other text without a key is no setting, and a restore does not send it.
// A key never holds an operator character, which would end it on the wire.
bool IsSettingLine(const QByteArray& line);
