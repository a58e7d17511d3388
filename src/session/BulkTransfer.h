#pragma once

#include "Pipeline.h"
#include "ProgressSink.h"

#include <QByteArray>
#include <QString>

#include <qcoro/qcorotask.h>

#include <cstdint>
#include <stop_token>
#include <vector>

class CommandChannel;
class SettingsStore;

// Empties the store and refills it with the receiver's answers to every
// catalogued key of the model, one query at a time; a key the receiver does
// not answer is left out. An answer is stored under the key as the program
// spells it, whatever letter case the receiver answers in. After two
// unanswered queries in a row the model query says whether the receiver is
// still there. A receiver gone silent, a closed port or a stop end the read:
// the store is then put back as it was and the result is false. The store is
// busy meanwhile.
//
// With a pipeline, the queries go out as it allows (see Pipeline), and what it
// learns of the receiver stays in it; the store ends the same either way.
QCoro::Task<bool> ReadAllFromReceiver(SettingsStore& store, CommandChannel& channel,
                                      ProgressSink* progress, QString label, std::uint32_t modelBit,
                                      std::stop_token stop, Pipeline* pipeline = nullptr);

// How a restore went, line by line.
struct RestoreResult {
    int sent = 0;             // setting lines put on the wire
    int confirmed = 0;        // answered with the same key and value
    int keptDifferently = 0;  // answered, but the receiver kept another value
    int unanswered = 0;       // no answer to either try
    int refused = 0;          // not sendable as they stand (control bytes, an overlong key)
    int notSent = 0;          // left when the restore stopped
    int skipped = 0;          // no settings (blank, comment, no key)
    // Lines the receiver does not hold as the file says.
    int Failed() const { return keptDifferently + unanswered + refused + notSent; }
    // One plain sentence of the counts, e.g. "3 settings sent: 2 confirmed, 1 kept
    // differently by the receiver."; then the lines that need a word, one a line.
    QByteArray report;
};

// Sends every line as a set command, in order, and checks each answer: a line
// is confirmed when the answer has its key and its value (trimmed, letter case
// aside). A line the receiver answers with another value (clamped, cut) is
// reported with what the receiver kept and not sent again; an unanswered line
// is sent once more. A line holding CR, LF or NUL, or with an overlong key, is
// not sent. A line that is no setting (blank, a "#" comment, no key before
// "=") is skipped. After two unanswered lines the model query says whether
// the receiver is still there. A receiver gone silent, a port closed on the
// way or a stop end the restore; the lines left are counted as not sent.
// With the port closed nothing is sent and nothing is reported.
// With a pipeline, lines go out as it allows.
QCoro::Task<RestoreResult> RestoreToReceiver(std::vector<QByteArray> lines, CommandChannel& channel,
                                             ProgressSink* progress, std::stop_token stop,
                                             Pipeline* pipeline = nullptr);

// How the report quotes a line: control bytes escaped ("\r", "\x00"), cut
// to a length a message box can show.
inline constexpr qsizetype kReportQuoteBytes = 80;
QByteArray QuotedForReport(const QByteArray& text);
