#include "BulkTransfer.h"

#include "ByteText.h"
#include "CommandChannel.h"
#include "Completion.h"
#include "QueryTables.h"
#include "SettingsStore.h"

#include <algorithm>

namespace {

// Two unanswered commands in a row may be a receiver that is gone, or one
// that lacks those parameters and stays silent on them. The model query, which
// every receiver answers, tells which: waiting a second for each of hundreds
// more keys of a gone receiver would hold the console for minutes.
constexpr int kTimeoutsBeforeCheck = 2;
const QByteArray kAliveQuery = QByteArrayLiteral("Main.Model?");
// From the tenth failed line on, the report is only a summary.
constexpr int kTooManyErrorsCount = 10;
constexpr int kUnsentListed = 10;
constexpr qsizetype kMinRetryReplyLength = 3;
const QByteArray kTooManyErrors = QByteArrayLiteral("ERROR: too many errors to report");
const QString kRestoreLabel = QStringLiteral("Restoring Receiver Settings...");

// Lines that must not go out as they stand, and why. A CR or LF inside a line
// would split it into two commands on the wire; the serial writer ends a
// command at a NUL, which would set a cut key or value.
struct Refusal {
    char byte;
    const char* reason;
};
constexpr Refusal kRefusals[] = {
    {'\r', "NOT SENT, HOLDS A CARRIAGE RETURN"},
    {'\n', "NOT SENT, HOLDS A LINE FEED"},
    {'\0', "NOT SENT, HOLDS A NUL BYTE"},
};
const QByteArray kKeyTooLong = QByteArrayLiteral("NOT SENT, KEY TOO LONG");

enum class Stop { None, Silent, PortClosed, Cancelled };

using Kind = CommandChannel::Kind;
using Outcome = CommandChannel::Outcome;

int Percent(qint64 done, qint64 total) {
    return static_cast<int>(done * 100 / total);
}

QByteArray Compared(const QByteArray& text) {
    return UpperAscii(TrimmedBytes(text));
}

// A reply confirms a line when it repeats (part of) the command; an empty
// reply (port closed) always does.
bool Confirms(const QByteArray& comparedCommand, const QByteArray& comparedReply) {
    return comparedCommand.contains(comparedReply);
}

// Why a store line is not sent; empty when it may go out.
QByteArray RefusalOf(const QByteArray& line) {
    for (const Refusal& refusal : kRefusals) {
        if (line.contains(refusal.byte))
            return refusal.reason;
    }
    // The channel keeps only 128 bytes of a key; a cut key would set a
    // different parameter.
    if (!CommandChannel::KeyFits(line))
        return kKeyTooLong;
    return {};
}

// A line that sets something: a key, then "=". A blank line, a "#" comment or
// any other text without a key is no command; nothing would answer it, and
// waiting for that answer would look like a receiver that stopped answering.
// A key never holds an operator character, which would end it on the wire.
bool IsSettingLine(const QByteArray& line) {
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return false;
    const QByteArray key = TrimmedBytes(line.left(equals));
    const auto isOperator = [](char c) { return c == '?' || c == '+' || c == '-'; };
    return !key.isEmpty() && !key.startsWith('#') &&
           std::none_of(key.cbegin(), key.cend(), isOperator);
}

QByteArray SkippedReport(const std::vector<QByteArray>& skipped) {
    QByteArray text =
        QByteArray::number(skipped.size()) + " line(s) are not settings and were skipped:\n";
    const std::size_t listed = std::min<std::size_t>(skipped.size(), kUnsentListed);
    for (std::size_t i = 0; i < listed; ++i) {
        text += '\t' +
                (TrimmedBytes(skipped[i]).isEmpty() ? QByteArrayLiteral("(blank line)")
                                                    : QuotedForReport(skipped[i])) +
                '\n';
    }
    if (skipped.size() > listed)
        text += "\t... and " + QByteArray::number(skipped.size() - listed) + " more\n";
    return text;
}

// Counts the answers that did not come, and says when to ask whether the
// receiver is still there and when to give up.
class SilenceWatch {
public:
    explicit SilenceWatch(std::stop_token stop) : m_stop(std::move(stop)) {}

    // Takes the reply of a command just answered (or not).
    QByteArray Checked(const CommandChannel::Reply& reply) {
        if (Judge(reply)) {
            m_timeoutsInARow = reply.outcome == Outcome::Timeout ? m_timeoutsInARow + 1 : 0;
        }
        return reply.Text();
    }
    // Two silent commands in a row: the model query must say whether to go on.
    bool NeedsAliveCheck() const {
        return m_stopped == Stop::None && m_timeoutsInARow >= kTimeoutsBeforeCheck;
    }
    void AliveChecked(const CommandChannel::Reply& reply) {
        if (!Judge(reply))
            return;
        if (reply.Answered())
            m_timeoutsInARow = 0;
        else
            m_stopped = Stop::Silent;
    }
    Stop Stopped() const { return m_stopped; }

private:
    // False once the operation is over: closed by the user or a lost device, or stopped.
    bool Judge(const CommandChannel::Reply& reply) {
        if (reply.outcome == Outcome::Closed)
            m_stopped = Stop::PortClosed;
        else if (m_stop.stop_requested() || reply.outcome == Outcome::Aborted)
            m_stopped = Stop::Cancelled;
        return m_stopped == Stop::None;
    }

    std::stop_token m_stop;
    int m_timeoutsInARow = 0;
    Stop m_stopped = Stop::None;
};

void ReplaceLines(SettingsStore& store, const std::vector<QByteArray>& lines) {
    store.Clear();
    for (const QByteArray& line : lines)
        store.Append(line);
}

QByteArray StopReason(Stop stop) {
    switch (stop) {
        case Stop::Silent:
            return QByteArrayLiteral("The receiver stopped answering");
        case Stop::Cancelled:
            return QByteArrayLiteral("The restore was cancelled");
        case Stop::None:
        case Stop::PortClosed:
            break;
    }
    return QByteArrayLiteral("The connection was lost");
}

QByteArray UnsentReport(Stop stop, const std::vector<QByteArray>& unsent) {
    QByteArray text = StopReason(stop);
    text += "; " + QByteArray::number(unsent.size()) + " line(s) were not sent:\n";
    const std::size_t listed = std::min<std::size_t>(unsent.size(), kUnsentListed);
    for (std::size_t i = 0; i < listed; ++i)
        text += '\t' + QuotedForReport(unsent[i]) + '\n';
    if (unsent.size() > listed)
        text += "\t... and " + QByteArray::number(unsent.size() - listed) + " more\n";
    return text;
}

}  // namespace

QByteArray QuotedForReport(const QByteArray& text) {
    QByteArray quoted = EscapedControlBytes(text.left(kReportQuoteBytes));
    if (text.size() > kReportQuoteBytes)
        quoted += "...";
    return quoted;
}

QCoro::Task<bool> ReadAllFromReceiver(SettingsStore& store, CommandChannel& channel,
                                      ProgressSink* progress, QString label, std::uint32_t modelBit,
                                      std::stop_token stop) {
    SettingsStore::BusyScope busy(store);
    // A read that ends early leaves the store as it was: half a receiver's
    // settings would show "error" on every page.
    const std::vector<QByteArray> before = store.Lines();
    store.Clear();
    if (progress != nullptr)
        progress->Begin(label);

    SilenceWatch watch(stop);
    constexpr int kParameterCount = static_cast<int>(kQueryParameters.size());
    for (int pair = 0; pair < kQueryPairCount && watch.Stopped() == Stop::None; ++pair) {
        const QuerySection& section =
            kQuerySections[static_cast<std::size_t>(pair / kParameterCount)];
        const QueryParameter& parameter =
            kQueryParameters[static_cast<std::size_t>(pair % kParameterCount)];
        if (progress != nullptr)
            progress->SetPercent(Percent(pair, kQueryPairCount));
        if (!IsQueried(section, parameter, modelBit))
            continue;

        const QByteArray key = QByteArray(section.name) + '.' + QByteArray(parameter.name);
        const QByteArray reply =
            TrimmedBytes(watch.Checked(co_await Asked(channel, Kind::Query, key + '?')));
        if (!reply.isEmpty() && reply != CommandChannel::kTimeout)
            store.Append(reply);
        if (watch.NeedsAliveCheck())
            watch.AliveChecked(co_await Asked(channel, Kind::Query, kAliveQuery));
    }

    const bool complete = watch.Stopped() == Stop::None;
    if (!complete)
        ReplaceLines(store, before);
    if (progress != nullptr)
        progress->End();
    co_return complete;
}

QCoro::Task<RestoreResult> RestoreToReceiver(SettingsStore& store, CommandChannel& channel,
                                             ProgressSink* progress, std::stop_token stop) {
    RestoreResult result;
    if (store.IsEmpty())
        co_return result;
    SettingsStore::BusyScope busy(store);
    if (progress != nullptr)
        progress->Begin(kRestoreLabel);

    SilenceWatch watch(stop);
    // With no receiver nothing is sent, and nothing can fail to arrive.
    const bool sending = channel.IsOpen();
    int errors = 0;
    QByteArray collected;
    std::vector<QByteArray> skipped;
    const qint64 total = store.LineCount();
    qint64 i = 1;
    // Lines are taken by index and copied: an answer or a status line may
    // rewrite a line in place while a command is out.
    for (; i <= total && i <= store.LineCount(); ++i) {
        const QByteArray line = store.Lines()[static_cast<std::size_t>(i - 1)];
        const QByteArray comparedCommand = Compared(line);

        QByteArray comparedReply = RefusalOf(line);
        if (comparedReply.isEmpty() && !IsSettingLine(line)) {
            // With no receiver nothing is sent at all; there is nothing to say.
            if (sending)
                skipped.push_back(line);
            if (progress != nullptr)
                progress->SetPercent(Percent(i, total));
            continue;
        }
        if (stop.stop_requested()) {
            watch.Checked({Outcome::Aborted, {}});
            break;
        }
        bool confirmed = comparedReply.isEmpty() && !sending;
        if (comparedReply.isEmpty() && sending) {
            comparedReply = Compared(watch.Checked(co_await Asked(channel, Kind::Command, line)));
            confirmed = watch.Stopped() == Stop::None && Confirms(comparedCommand, comparedReply);
            if (!confirmed && watch.Stopped() == Stop::None) {
                comparedReply =
                    Compared(watch.Checked(co_await Asked(channel, Kind::Command, line)));
                // One or two bytes occur in almost any command by chance.
                confirmed = watch.Stopped() == Stop::None &&
                            Confirms(comparedCommand, comparedReply) &&
                            comparedReply.size() >= kMinRetryReplyLength;
            }
            // A line unanswered twice is reported; the restore goes on while
            // the receiver still answers the model query.
            if (watch.NeedsAliveCheck())
                watch.AliveChecked(co_await Asked(channel, Kind::Query, kAliveQuery));
        }
        // Cut off by a closed port or a stop, the line is not known to have arrived.
        if (watch.Stopped() == Stop::PortClosed || watch.Stopped() == Stop::Cancelled)
            break;

        if (confirmed && sending)
            ++result.confirmed;
        if (!confirmed) {
            if (errors < kTooManyErrorsCount) {
                collected += "\tERROR: " + QuotedForReport(comparedCommand) +
                             " \treturned: " + QuotedForReport(comparedReply) + '\n';
            }
            ++errors;
        }
        if (progress != nullptr)
            progress->SetPercent(Percent(i, total));
        if (watch.Stopped() == Stop::Silent) {
            ++i;
            break;
        }
    }

    std::vector<QByteArray> unsent;
    for (; i <= store.LineCount(); ++i) {
        const QByteArray& line = store.Lines()[static_cast<std::size_t>(i - 1)];
        (IsSettingLine(line) ? unsent : skipped).push_back(line);
    }

    if (progress != nullptr)
        progress->End();
    result.failed = errors + static_cast<int>(unsent.size());
    if (result.failed == 0 && skipped.empty())
        co_return result;
    QByteArray text = errors >= kTooManyErrorsCount ? kTooManyErrors : collected;
    if (!unsent.empty()) {
        if (errors >= kTooManyErrorsCount)
            text += '\n';
        text += UnsentReport(watch.Stopped(), unsent);
    }
    if (!skipped.empty()) {
        if (!text.isEmpty() && !text.endsWith('\n'))
            text += '\n';
        text += SkippedReport(skipped);
    }
    result.report = text;
    co_return result;
}
