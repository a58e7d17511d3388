#include "FailureText.h"

#include "ReceiverSession.h"
#include "Windows1252.h"

#include <algorithm>
#include <iterator>

namespace {

struct FailureRow {
    ConnectionFailure failure;
    // {port}: the port as the user named it; {model}: the model check's
    // answer; {error}: the port's own words; {ms}: how long an answer may take.
    const char* text;
};

const FailureRow kFailureTexts[] = {
    {ConnectionFailure::CannotOpen, "{error}"},
    {ConnectionFailure::NoAnswer,
     "no receiver answered on {port} (Main.Model? got no answer within {ms} ms)"},
    {ConnectionFailure::UnknownModel,
     "the receiver on {port} reports the model \"{model}\", which is not a known Velmar model"},
    {ConnectionFailure::ReadFailed, "the receiver on {port} stopped answering during the read"},
    {ConnectionFailure::Stopped, "the connection attempt was stopped"},
};

// The port's own words (an open error, a loss) name the device it opened;
// when the user named it otherwise (COM3 for /dev/ttyUSB0), that name leads.
QString NamingThePort(const FailureFacts& facts, const QString& words) {
    if (facts.devicePath.isEmpty() || facts.devicePath == facts.portName ||
        !words.contains(facts.devicePath))
        return words;
    return facts.portName + QStringLiteral(": ") + words;
}

QString Fill(QStringView name, const FailureFacts& facts) {
    if (name == u"port")
        return facts.portName;
    if (name == u"model")
        return FromWindows1252(facts.model);
    if (name == u"error")
        return NamingThePort(facts, facts.portError);
    if (name == u"ms")
        return QString::number(CommandChannel::kReplyTimeoutMs);
    return {};
}

// In one pass, so that a port name holding braces stays as typed.
QString Filled(const QString& text, const FailureFacts& facts) {
    QString out;
    qsizetype from = 0;
    for (;;) {
        const qsizetype open = text.indexOf(QLatin1Char('{'), from);
        const qsizetype close = open < 0 ? -1 : text.indexOf(QLatin1Char('}'), open);
        if (close < 0)
            return out + text.mid(from);
        out += text.mid(from, open - from) +
               Fill(QStringView(text).mid(open + 1, close - open - 1), facts);
        from = close + 1;
    }
}

}  // namespace

QString FailureText(ConnectionFailure failure, const FailureFacts& facts) {
    if (failure == ConnectionFailure::None)
        return {};
    if (!facts.lostReason.isEmpty())
        return NamingThePort(facts, facts.lostReason);
    const auto row = std::find_if(std::begin(kFailureTexts), std::end(kFailureTexts),
                                  [failure](const FailureRow& r) { return r.failure == failure; });
    return Filled(QString::fromLatin1(row->text), facts);
}

QString AutoDetectFailureText(const QStringList& tried, const QString& last) {
    return QStringLiteral("%1 found no receiver on %2 (last: %3)")
        .arg(ReceiverSession::kAutoDetect, tried.join(QStringLiteral(", ")), last);
}

QString SilentReceiverText(const QString& portName) {
    return QStringLiteral("the receiver on %1 stopped answering").arg(portName);
}

QString UnansweredText(CommandChannel::Outcome outcome) {
    switch (outcome) {
        case CommandChannel::Outcome::Timeout:
            return QStringLiteral("the receiver did not answer");
        case CommandChannel::Outcome::Aborted:
            return QStringLiteral("it was stopped");
        case CommandChannel::Outcome::Answered:
        case CommandChannel::Outcome::Written:
        case CommandChannel::Outcome::Closed:
            break;
    }
    return QStringLiteral("the connection was closed");
}
