#pragma once

#include "CommandChannel.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Why a connection attempt failed.
enum class ConnectionFailure {
    None,
    CannotOpen,    // no port would open
    NoAnswer,      // a port opened, but no receiver answered the model check
    UnknownModel,  // a receiver answered with a model outside the known ones
    ReadFailed,    // the receiver went silent or away during the read
    Stopped,       // cancelled, closed, or replaced by another operation
};

// What a failure's sentence is filled from.
struct FailureFacts {
    QString portName;    // as the user named it: "COM3", a device path, "tcp://host:port"
    QString devicePath;  // what the name opened: COM3's link target, else the name itself
    QByteArray model;    // the model check's answer, in the receiver's bytes
    QString portError;   // the port's own words for why it would not open
    QString lostReason;  // why the device went away on the way; empty when it did not
};

// The failure in one sentence, the same in the window, ampdesk-cli and the
// bridge's log; empty for None. A device lost on the way is the reason,
// whatever the attempt's outcome looked like afterwards.
QString FailureText(ConnectionFailure failure, const FailureFacts& facts);
// Auto-Detect's failure when no port it tried gave a known receiver; `last`
// is the last port's sentence.
QString AutoDetectFailureText(const QStringList& tried, const QString& last);
// Why the keep-alive gave a receiver up.
QString SilentReceiverText(const QString& portName);
// Why a command ended without the receiver's answer (a time-out, a closed
// port, a stopped operation).
QString UnansweredText(CommandChannel::Outcome outcome);
