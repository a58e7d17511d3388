#include "BulkTransfer.h"

#include "ByteText.h"
#include "CommandChannel.h"
#include "Completion.h"
#include "FailureText.h"
#include "KeyRules.h"
#include "Pipeline.h"
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
// At most this many lines of each kind are listed in a report.
constexpr std::size_t kListed = 10;
const QString kRestoreLabel = QStringLiteral("Restoring Receiver Settings...");

enum class Stop { None, Silent, PortClosed, Cancelled };

using Kind = CommandChannel::Kind;
using Outcome = CommandChannel::Outcome;

int Percent(qint64 done, qint64 total) {
    return static_cast<int>(done * 100 / total);
}

// Key and value, trimmed and in capitals: how a line and its answer are compared.
std::pair<QByteArray, QByteArray> Compared(const QByteArray& line) {
    QByteArray key;
    QByteArray value;
    SplitLine(line, &key, &value);
    return {UpperAscii(TrimmedBytes(key)), UpperAscii(TrimmedBytes(value))};
}

// What the receiver kept, as it said it.
QByteArray KeptValue(const QByteArray& answer) {
    QByteArray value;
    SplitLine(answer, nullptr, &value);
    return TrimmedBytes(value);
}

// The query's key as the program spells it: sections are queried in capitals
// ("MAIN"), stored as "Main".
QByteArray StoredKey(const char* section, const char* parameter) {
    const QByteArray name(section);
    return name.left(1) + name.mid(1).toLower() + '.' + parameter;
}

// Why a line is not sent; empty when it may go out.
QByteArray RefusalOf(const QByteArray& line) {
    const QByteArray why = CommandChannel::Unsendable(line);
    return why.isEmpty() ? why : "not sent: " + why;
}

// Lists up to kListed entries, one a line, and says how many more there are.
void ListLines(QByteArray& text, const std::vector<QByteArray>& entries) {
    const std::size_t listed = std::min(entries.size(), kListed);
    for (std::size_t i = 0; i < listed; ++i)
        text += entries[i] + '\n';
    if (entries.size() > listed)
        text += "... and " + QByteArray::number(entries.size() - listed) + " more\n";
}

// Counts the answers that did not come, and says when to ask whether the
// receiver is still there and when to give up.
class SilenceWatch {
public:
    explicit SilenceWatch(std::stop_token stop) : m_stop(std::move(stop)) {}

    // Takes the reply of a command just answered (or not).
    void Checked(const CommandChannel::Reply& reply) {
        if (Judge(reply))
            m_timeoutsInARow = reply.outcome == Outcome::Timeout ? m_timeoutsInARow + 1 : 0;
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
            return QByteArrayLiteral("the receiver stopped answering");
        case Stop::Cancelled:
            return QByteArrayLiteral("the restore was cancelled");
        case Stop::None:
        case Stop::PortClosed:
            break;
    }
    return QByteArrayLiteral("the connection was lost");
}

QByteArray Counted(int count, const char* what) {
    return QByteArray::number(count) + ' ' + what;
}

// The counts in one sentence, then what needs a word.
QByteArray Report(const RestoreResult& result, Stop stop, const std::vector<QByteArray>& problems,
                  const std::vector<QByteArray>& unsent, const std::vector<QByteArray>& skipped) {
    QByteArray text = Counted(result.sent, "setting(s) sent");
    QByteArrayList parts;
    if (result.sent > 0)
        parts << Counted(result.confirmed, "confirmed");
    if (result.keptDifferently > 0)
        parts << Counted(result.keptDifferently, "kept differently by the receiver");
    if (result.unanswered > 0)
        parts << Counted(result.unanswered, "unanswered");
    if (!parts.isEmpty())
        text += ": " + parts.join(", ");
    text += '.';
    if (result.refused > 0)
        text += ' ' + Counted(result.refused, "could not be sent as they stand.");
    if (result.notSent > 0)
        text += ' ' + Counted(result.notSent, "not sent: ") + StopReason(stop) + '.';
    if (result.skipped > 0)
        text += ' ' + Counted(result.skipped, "line(s) are not settings and were skipped.");
    text += '\n';
    ListLines(text, problems);
    if (!unsent.empty()) {
        text += "Not sent:\n";
        ListLines(text, unsent);
    }
    if (!skipped.empty()) {
        text += "Skipped:\n";
        ListLines(text, skipped);
    }
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
                                      std::stop_token stop, Pipeline* pipeline) {
    SettingsStore::BusyScope busy(store);
    // A read that ends early leaves the store as it was: half a receiver's
    // settings would show "error" on every page.
    const std::vector<QByteArray> before = store.Lines();
    store.Clear();
    if (progress != nullptr)
        progress->Begin(label);

    // Every key the model has, as asked and as stored, with how far through
    // the table it is.
    struct Key {
        QByteArray asked;
        QByteArray stored;
        int pair;
    };
    std::vector<Key> keys;
    std::vector<PipelineStep> steps;
    constexpr int kParameterCount = static_cast<int>(kQueryParameters.size());
    for (int pair = 0; pair < kQueryPairCount; ++pair) {
        const QuerySection& section =
            kQuerySections[static_cast<std::size_t>(pair / kParameterCount)];
        const QueryParameter& parameter =
            kQueryParameters[static_cast<std::size_t>(pair % kParameterCount)];
        if (!IsQueried(section, parameter, modelBit))
            continue;
        const QByteArray key = QByteArray(section.name) + '.' + QByteArray(parameter.name);
        keys.push_back({key, StoredKey(section.name, parameter.name), pair});
        steps.push_back({Kind::Query, key + '?'});
    }
    // Progress moves on for every pair of the table, asked or not.
    int pairsShown = 0;
    const auto showUpTo = [&](int pair) {
        for (; progress != nullptr && pairsShown <= pair; ++pairsShown)
            progress->SetPercent(Percent(pairsShown, kQueryPairCount));
    };
    // The answer's key equals the query's but for letter case: the pages
    // read keys as the program spells them.
    const auto take = [&](std::size_t i, const CommandChannel::Reply& reply) {
        showUpTo(keys[i].pair);
        QByteArray value;
        if (reply.Answered() && SplitLine(TrimmedBytes(reply.line), nullptr, &value))
            store.Append(keys[i].stored + '=' + value);
    };

    Pipelined pipelined;
    if (pipeline != nullptr) {
        pipelined =
            co_await SendPipelined(channel, steps, *pipeline, stop,
                                   [&](std::size_t step, const CommandChannel::Reply& reply) {
                                       take(step, reply);
                                       return true;
                                   });
    }
    SilenceWatch watch(stop);
    if (pipelined.ended)
        watch.Checked({*pipelined.ended, {}});
    std::size_t i = pipelined.settled;
    for (; i < keys.size() && watch.Stopped() == Stop::None; ++i) {
        const CommandChannel::Reply reply =
            co_await Asked(channel, Kind::Query, steps[i].body, stop);
        watch.Checked(reply);
        take(i, reply);
        if (watch.NeedsAliveCheck())
            watch.AliveChecked(co_await Asked(channel, Kind::Query, kAliveQuery, stop));
    }
    if (stop.stop_requested())
        watch.Checked({Outcome::Aborted, {}});

    const bool complete = watch.Stopped() == Stop::None;
    if (complete)
        showUpTo(kQueryPairCount - 1);
    else
        ReplaceLines(store, before);
    if (progress != nullptr)
        progress->End();
    co_return complete;
}

QCoro::Task<RestoreResult> RestoreToReceiver(std::vector<QByteArray> lines, CommandChannel& channel,
                                             ProgressSink* progress, std::stop_token stop,
                                             Pipeline* pipeline) {
    RestoreResult result;
    // With no receiver nothing is sent, and nothing can fail to arrive.
    if (lines.empty() || !channel.IsOpen())
        co_return result;
    if (progress != nullptr)
        progress->Begin(kRestoreLabel);
    const auto total = static_cast<qint64>(lines.size());

    std::vector<QByteArray> problems;
    // An answered line is confirmed, or kept differently with what the receiver kept.
    const auto judge = [&](const QByteArray& line, const CommandChannel::Reply& reply) {
        if (Compared(reply.line) == Compared(line)) {
            ++result.confirmed;
            return;
        }
        ++result.keptDifferently;
        problems.push_back(QuotedForReport(line) + ": the receiver kept " +
                           QuotedForReport(KeptValue(reply.line)));
    };

    // The lines that go out, pipelined while the receiver keeps up; a line
    // answered there is done. A value the receiver cannot take as it stands
    // comes back clamped or cut at any pace, so that answer is judged as it
    // is. Any other value answered differently may have been taken garbled,
    // so that line goes again one at a time, as does every line after it.
    std::vector<bool> doneEarly(lines.size(), false);
    Pipelined pipelined;
    if (pipeline != nullptr) {
        std::vector<std::size_t> lineOf;
        std::vector<PipelineStep> steps;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (RefusalOf(lines[i]).isEmpty() && IsSettingLine(lines[i])) {
                lineOf.push_back(i);
                steps.push_back({Kind::Command, lines[i]});
            }
        }
        pipelined =
            co_await SendPipelined(channel, steps, *pipeline, stop,
                                   [&](std::size_t step, const CommandChannel::Reply& reply) {
                                       const std::size_t i = lineOf[step];
                                       QByteArray key;
                                       QByteArray value;
                                       SplitLine(lines[i], &key, &value);
                                       if (Compared(reply.line) != Compared(lines[i]) &&
                                           TakenAsItStands(TrimmedBytes(key), value))
                                           return false;
                                       doneEarly[i] = true;
                                       ++result.sent;
                                       judge(lines[i], reply);
                                       if (progress != nullptr)
                                           progress->SetPercent(Percent(qint64(i) + 1, total));
                                       return true;
                                   });
    }

    SilenceWatch watch(stop);
    if (pipelined.ended)
        watch.Checked({*pipelined.ended, {}});
    std::vector<QByteArray> skipped;
    std::size_t i = 0;
    for (; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const QByteArray refusal = RefusalOf(line);
        if (doneEarly[i])
            continue;
        // Lines that would not go out are told apart up to the first that would.
        const bool sendable = refusal.isEmpty() && IsSettingLine(line);
        if (sendable && watch.Stopped() != Stop::None)
            break;
        if (!refusal.isEmpty()) {
            ++result.refused;
            problems.push_back(QuotedForReport(line) + ": " + refusal);
        } else if (!IsSettingLine(line)) {
            skipped.push_back(TrimmedBytes(line).isEmpty() ? QByteArrayLiteral("(blank line)")
                                                           : QuotedForReport(line));
        } else {
            if (stop.stop_requested()) {
                watch.Checked({Outcome::Aborted, {}});
                break;
            }
            ++result.sent;
            CommandChannel::Reply reply = co_await Asked(channel, Kind::Command, line, stop);
            watch.Checked(reply);
            // Only silence is worth a second try: a value the receiver
            // answered with is the one it keeps, however often it is sent.
            if (reply.outcome == Outcome::Timeout && watch.Stopped() == Stop::None) {
                reply = co_await Asked(channel, Kind::Command, line, stop);
                watch.Checked(reply);
            }
            if (watch.NeedsAliveCheck())
                watch.AliveChecked(co_await Asked(channel, Kind::Query, kAliveQuery, stop));
            if (reply.Answered()) {
                judge(line, reply);
            } else if (reply.outcome == Outcome::Timeout) {
                ++result.unanswered;
                problems.push_back(QuotedForReport(line) + ": " +
                                   UnansweredText(reply.outcome).toLatin1());
            } else {
                // Cut off by a closed port or a stop: not known to have arrived.
                --result.sent;
                break;
            }
        }
        if (progress != nullptr)
            progress->SetPercent(Percent(static_cast<qint64>(i) + 1, total));
    }

    std::vector<QByteArray> unsent;
    for (; i < lines.size(); ++i) {
        if (!doneEarly[i] && IsSettingLine(lines[i]) && RefusalOf(lines[i]).isEmpty()) {
            ++result.notSent;
            unsent.push_back(QuotedForReport(lines[i]));
        }
    }
    result.skipped = static_cast<int>(skipped.size());
    if (progress != nullptr)
        progress->End();
    if (result.Failed() > 0 || result.skipped > 0)
        result.report = Report(result, watch.Stopped(), problems, unsent, skipped);
    co_return result;
}
