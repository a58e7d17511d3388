#pragma once

#include <QString>

class Receiver;
class ReceiverState;

// The receiver's memory across restarts, kept in the console's settings file
// format: "<ORVA Settings File>", a description line, key=value lines,
// "</ORVA Settings File>".

// A missing file is a fresh unit (true, nothing loaded). Lines the unit does not
// know or whose values are outside the vocabulary are skipped.
bool LoadState(const QString& path, Receiver& receiver, QString* error);
// Written beside the file and renamed over it, so a crash leaves the old state.
bool SaveState(const QString& path, const ReceiverState& state, QString* error);
