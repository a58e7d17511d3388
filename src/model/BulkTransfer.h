#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

class CommandChannel;
class SettingsStore;

// Shown while a bulk read or restore runs; the window supplies a small
// "Progress" window, tests a recorder.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void Begin(const QString& label) = 0;
    virtual void SetPercent(int percent) = 0;
    virtual void End() = 0;
};

// Empties the store and refills it with the receiver's answers to every
// catalogued key of the model, one query at a time.
bool ReadAllFromReceiver(SettingsStore& store, CommandChannel& channel, ProgressSink* progress,
                         const QString& label, std::uint32_t modelBit);

// Sends every store line as a set command and checks each answer (one retry).
// Returns the number of failed lines; `report` is written only when above 0.
int RestoreToReceiver(SettingsStore& store, CommandChannel& channel, ProgressSink* progress,
                      QByteArray* report);
