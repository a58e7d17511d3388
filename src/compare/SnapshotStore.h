#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

class SettingsStore;

// The receiver's settings as they were at each connection, kept as settings
// files (the bytes Save Settings writes) in
//   <data folder>/Velmar/Ampdesk/snapshots/<model>/<UTC date-time>Z[-n][-partial].kvx
// The data folder is $XDG_DATA_HOME, else ~/.local/share. A snapshot equal to
// the newest of its model is not kept again; the newest kMaxPerModel of each
// model stay, older ones are removed. Files in the folders that are not named
// as snapshots are never touched. A snapshot of a read that some settings did
// not answer is marked "-partial".
//
// The folder is the model's: nothing the receiver answers names one unit
// apart from another of its model (no serial number or network address among
// its settings; its source names and IR channel are the user's to change), so
// two receivers of one model share a folder.
class SnapshotStore {
public:
    static constexpr int kMaxPerModel = 50;

    struct Snapshot {
        QString path;
        QString model;         // the folder's name
        QDateTime taken;       // UTC
        int sequence = 0;      // tells apart snapshots taken in the same second
        bool partial = false;  // some settings did not answer and are missing
    };

    struct KeepResult {
        bool kept = false;  // a new file was written
        QString path;       // the new file, or the newest one it equals
        QString warning;    // empty when all went well
    };

    // `root` empty: the user's data folder as above.
    explicit SnapshotStore(QString root = {});

    QString Root() const { return m_root; }
    // The folder of one model; the model name is kept to letters, digits, "-" and "_".
    QString ModelFolder(const QByteArray& model) const;

    // Writes the store as a snapshot of `model` taken at `now`, unless the newest
    // of that model holds the same bytes; then prunes that model's snapshots.
    KeepResult Keep(const SettingsStore& store, const QByteArray& model,
                    const QDateTime& now = QDateTime::currentDateTimeUtc(),
                    bool partial = false) const;

    // Every model's snapshots, newest first: the list `ampdesk-cli snapshots`
    // numbers from 1.
    std::vector<Snapshot> List() const;
    // One model's snapshots, newest first.
    std::vector<Snapshot> ListModel(const QString& model) const;
    // Files in the snapshot folders that are not snapshots (left alone).
    QStringList ForeignFiles() const;

    // "3" names the third of List(); nullptr-like empty path when there is none.
    static bool IsNumber(const QByteArray& operand);
    QString PathOfNumber(int number) const;

private:
    std::vector<Snapshot> InFolder(const QString& folder, const QString& model,
                                   QStringList* foreign) const;

    QString m_root;
};

// How many settings differ between two settings files; -1 when either cannot be read.
int CountDifferences(const QString& path, const QString& earlierPath);
