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
// followed to its target. Anything else (a device, a pipe, a hard-linked file,
// another user's file, a file in a folder we may not write) is written in place.
SaveResult SaveToFile(const SettingsStore& store, const QString& path,
                      const QByteArray& description);
// The bytes SaveToFile writes.
QByteArray SettingsFileBytes(const SettingsStore& store, const QByteArray& description);

// A settings file holds some 600 short lines (about 15 kB); anything far larger
// is not one, and is refused before it is read into memory.
inline constexpr qint64 kMaxSettingsFileBytes = 16 * 1024 * 1024;

struct LoadResult {
    bool opened = false;      // false: the file could not be opened; store untouched
    bool tooLarge = false;    // true: larger than kMaxSettingsFileBytes; store untouched
    bool recognised = false;  // false: first line is not the magic line; store untouched
    QByteArray description;
};

LoadResult LoadFromFile(SettingsStore& store, const QString& path);
// What LoadFromFile makes of a file's bytes; `opened` and `tooLarge` stay false.
LoadResult LoadFromBytes(SettingsStore& store, const QByteArray& bytes);
