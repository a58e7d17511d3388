#pragma once

#include "ProgressSink.h"

#include <QByteArray>
#include <QString>

#include <qcoro/qcorotask.h>

#include <cstdint>
#include <stop_token>

class CommandChannel;
class SettingsStore;

// Empties the store and refills it with the receiver's answers to every
// catalogued key of the model, one query at a time; a key the receiver does
// not answer is left out. After two unanswered queries in a row the model
// query says whether the receiver is still there. A receiver gone silent, a
// closed port or a stop end the read: the store is then put back as it was and
// the result is false. The store is busy meanwhile.
QCoro::Task<bool> ReadAllFromReceiver(SettingsStore& store, CommandChannel& channel,
                                      ProgressSink* progress, QString label, std::uint32_t modelBit,
                                      std::stop_token stop);

struct RestoreResult {
    int failed = 0;
    // Lines sent and confirmed by the receiver.
    int confirmed = 0;
    // Written only when a line failed or was skipped.
    QByteArray report;
};

// Sends every store line as a set command and checks each answer (one retry).
// A line holding CR, LF or NUL, or with an overlong key, is not sent and fails.
// A line that is no setting (blank, a "#" comment, no key before "=") is not
// sent, is not waited for and does not fail; the report lists it as skipped.
// A line unanswered twice fails; the model query then says whether the
// receiver is still there. A receiver gone silent, a port closed on the way or
// a stop end the restore; the lines left are not sent, count as failed and are
// listed.
QCoro::Task<RestoreResult> RestoreToReceiver(SettingsStore& store, CommandChannel& channel,
                                             ProgressSink* progress, std::stop_token stop);

// How the report quotes a line: control bytes escaped ("\r", "\x00"), cut
// to a length a message box can show.
inline constexpr qsizetype kReportQuoteBytes = 80;
QByteArray QuotedForReport(const QByteArray& text);
