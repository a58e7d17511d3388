#pragma once

#include <QByteArray>
#include <QString>

class SettingsStore;

// The settings file: "<ORVA Settings File>", a description line, the store's
// lines, "</ORVA Settings File>" (no line break after it). CR LF line breaks
// are written; LF and CR LF are read.

struct SaveResult {
    bool ok = false;
    QString error;  // a message for the user when !ok
};

// A plain file of ours in a writable folder is written to a temporary file
// beside it and replaced only once everything is written and flushed (keeping
// its permissions), so a failed save leaves it as it was. A symbolic link is
// followed to its target, unless it is another user's in a sticky,
// world-writable folder. Anything else (a device, a pipe, a hard-linked file,
// another user's file, a file in a folder we may not write) is written in
// place, with the disk space for the new content taken before the old is cut.
SaveResult SaveToFile(const SettingsStore& store, const QString& path,
                      const QByteArray& description);
// The bytes SaveToFile writes.
QByteArray SettingsFileBytes(const SettingsStore& store, const QByteArray& description);

// A settings file holds some 600 short lines (about 15 kB); anything far larger
// is not one, and is refused without being read whole into memory.
inline constexpr qint64 kMaxSettingsFileBytes = 16 * 1024 * 1024;
// Each line costs a store entry, so a file of nothing but line breaks would
// cost far more than its bytes.
inline constexpr qsizetype kMaxSettingsFileLines = 10000;

struct LoadResult {
    bool opened = false;      // false: the file could not be opened; store untouched
    bool notRegular = false;  // true: a device, pipe or folder; store untouched
    bool tooLarge = false;    // true: more than kMaxSettingsFileBytes or kMaxSettingsFileLines
    bool recognised = false;  // false: first line is not the magic line; store untouched
    bool incomplete = false;  // true: no end line; the lines there are were loaded
    QByteArray description;
};

// Reads only a regular file (a link is followed), and never more than
// kMaxSettingsFileBytes of it, whatever size it reports.
LoadResult LoadFromFile(SettingsStore& store, const QString& path);
// What LoadFromFile makes of a file's bytes; `opened` and `notRegular` stay false.
LoadResult LoadFromBytes(SettingsStore& store, const QByteArray& bytes);
// Why LoadFromFile did not load the file, in a sentence that names it as
// `shownPath`; empty when it did (an incomplete file is loaded).
QString LoadFailureText(const LoadResult& loaded, const QString& shownPath);
