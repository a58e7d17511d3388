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
// catalogued key of the model, one query at a time. Two unanswered queries in a
// row or a closed port end the read: the store is then put back as it was and
// the result is false.
bool ReadAllFromReceiver(SettingsStore& store, CommandChannel& channel, ProgressSink* progress,
                         const QString& label, std::uint32_t modelBit);

// Sends every store line as a set command and checks each answer (one retry).
// A line holding CR, LF or NUL, or with an overlong key, is not sent and fails.
// A line that is no setting (blank, a "#" comment, no key before "=") is not
// sent, is not waited for and does not fail; the report lists it as skipped.
// Two unanswered commands in a row or a port closed on the way stop the
// restore; the lines left are not sent, count as failed and are listed.
// Returns the number of failed lines; `report` is written only when a line
// failed or was skipped.
int RestoreToReceiver(SettingsStore& store, CommandChannel& channel, ProgressSink* progress,
                      QByteArray* report);

// How the report quotes a line: control bytes escaped ("\r", "\x00"), cut
// to a length a message box can show.
inline constexpr qsizetype kReportQuoteBytes = 80;
QByteArray QuotedForReport(const QByteArray& text);
