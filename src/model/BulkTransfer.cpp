#include "BulkTransfer.h"

#include "ByteText.h"
#include "CommandChannel.h"
#include "QueryTables.h"
#include "SettingsStore.h"

namespace {

constexpr unsigned kFirstPaintMs = 10;
// From the tenth failed line on, the report is only a summary.
constexpr int kTooManyErrorsCount = 10;
constexpr qsizetype kMinRetryReplyLength = 3;
const QByteArray kTooManyErrors = QByteArrayLiteral("ERROR: too many errors to report");
const QByteArray kKeyTooLong = QByteArrayLiteral("KEY TOO LONG");
const QString kRestoreLabel = QStringLiteral("Restoring Receiver Settings...");

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

}  // namespace

bool ReadAllFromReceiver(SettingsStore& store, CommandChannel& channel, ProgressSink* progress,
                         const QString& label, std::uint32_t modelBit) {
    SettingsStore::BusyScope busy(store);
    store.Clear();
    if (progress != nullptr)
        progress->Begin(label);
    CommandChannel::PumpMessages(kFirstPaintMs);

    int pair = 0;
    for (const QuerySection& section : kQuerySections) {
        for (const QueryParameter& parameter : kQueryParameters) {
            if (progress != nullptr)
                progress->SetPercent(Percent(pair, kQueryPairCount));
            ++pair;
            if (!IsQueried(section, parameter, modelBit))
                continue;

            const QByteArray query =
                '\r' + QByteArray(section.name) + '.' + QByteArray(parameter.name) + "?\r";
            const QByteArray reply = TrimmedBytes(channel.Request(query));
            if (!reply.isEmpty() && reply != CommandChannel::kTimeout)
                store.Append(reply);
        }
    }

    if (progress != nullptr)
        progress->End();
    return true;
}

int RestoreToReceiver(SettingsStore& store, CommandChannel& channel, ProgressSink* progress,
                      QByteArray* report) {
    if (store.IsEmpty())
        return 0;
    SettingsStore::BusyScope busy(store);
    if (progress != nullptr)
        progress->Begin(kRestoreLabel);

    int errors = 0;
    QByteArray collected;
    const qint64 total = store.LineCount();
    // Lines are taken by index and copied: status lines handled during a wait
    // may rewrite a line in place.
    for (qint64 i = 1; i <= total && i <= store.LineCount(); ++i) {
        const QByteArray command = '\r' + store.Lines()[i - 1] + '\r';
        const QByteArray comparedCommand = Compared(command);

        QByteArray comparedReply;
        bool confirmed = false;
        if (!CommandChannel::KeyFits(command)) {
            // The channel keeps only 128 bytes of a key; a cut key would set a
            // different parameter, so the line is not sent at all.
            comparedReply = kKeyTooLong;
        } else {
            comparedReply = Compared(channel.Request(command));
            confirmed = Confirms(comparedCommand, comparedReply);
            if (!confirmed) {
                comparedReply = Compared(channel.Request(command));
                // One or two bytes occur in almost any command by chance.
                confirmed = Confirms(comparedCommand, comparedReply) &&
                            comparedReply.size() >= kMinRetryReplyLength;
            }
        }

        if (!confirmed) {
            if (errors < kTooManyErrorsCount) {
                collected += "\tERROR: " + comparedCommand + " \treturned: " + comparedReply + '\n';
            }
            ++errors;
        }
        if (progress != nullptr)
            progress->SetPercent(Percent(i, total));
    }

    if (progress != nullptr)
        progress->End();
    if (errors == 0)
        return 0;
    if (report != nullptr)
        *report = errors >= kTooManyErrorsCount ? kTooManyErrors : collected;
    return errors;
}
