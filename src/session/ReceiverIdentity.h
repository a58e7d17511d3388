#pragma once

#include <QByteArray>
#include <QString>

#include <qcoro/qcorotask.h>

#include <cstdint>
#include <stop_token>

class CommandChannel;
class SerialPort;

// The first steps of every connection, shared by the window, the command-line
// tool and the bridge: open the port and ask the receiver for its model.
struct ReceiverIdentity {
    enum class Outcome {
        CannotOpen,    // the port did not open; SerialPort::LastError says why
        NoAnswer,      // no answer with "=" to the model query; the port is closed again
        UnknownModel,  // a model outside the known ones; the port stays open
        Known,
        Stopped,  // stopped on the way; the port is closed again
    };
    Outcome outcome = Outcome::CannotOpen;
    QByteArray model;  // the answer after "=", trimmed (UnknownModel, Known)
    std::uint32_t modelBit = 0;
};

// Opens `devicePath` (a tty or "tcp://host:port") at 115200 baud and asks
// for Main.Model. Acceptance ignores letter case; the ModelBit needs the
// exact name.
QCoro::Task<ReceiverIdentity> IdentifyReceiver(SerialPort& port, CommandChannel& channel,
                                               QString devicePath, std::stop_token stop);
