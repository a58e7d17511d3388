#pragma once

#include "CliOptions.h"

#include <QByteArray>
#include <QString>

#include <cstdio>

class SettingsStore;

// `ampdesk-cli snapshots`: the kept snapshots, newest first, numbered from 1,
// with the date, model, settings changed since the one before, a partial one
// marked, and the file; with `json` as one JSON document.
int ListSnapshots(std::FILE* out, bool json);

// diff and restore take "3" for the third snapshot of that list. Replaces
// the operand by the snapshot's file; the error when there is no such one.
// A file whose name is a number is written "./3".
QString ResolveSnapshotOperand(CliOptions& options);

// After a backup: keeps the store as a snapshot of `model`, marked `partial`
// when some settings did not answer; a warning, or empty.
QString KeepBackupSnapshot(const SettingsStore& store, const QByteArray& model, bool partial);
