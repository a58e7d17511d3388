#pragma once

#include "CommandChannel.h"
#include "SerialPort.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>

class SettingsStore;

// An error message as it may go to a terminal: values in it come from the
// command line, the profile and files, so control characters (CR, ESC, ...)
// are shown escaped rather than acted on, and a line longer than
// kMaxMessageLine characters is cut with a note of how much is left out.
inline constexpr qsizetype kMaxMessageLine = 400;
QString PrintableMessage(const QString& text);

// The tool's connection to one receiver: the same port, channel and model
// check as the window's, without the keep-alive (a command is over in
// seconds). A device lost on the way closes the port at once, so the rest of a
// bulk read or restore ends quickly instead of timing out key by key.
class CliSession {
public:
    explicit CliSession(std::FILE* errors);
    ~CliSession();
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    // Opens the port as the window names it (COM1..COM9 through the profile's
    // ports folder, "Auto-Detect", a device path, "tcp://host:port") and asks
    // for the model. kExitOk with a known model; otherwise says why on the
    // error stream and returns kExitCannotOpen or kExitNoReceiver.
    int Open(const QString& portName);

    CommandChannel& Channel() { return m_channel; }
    QByteArray Model() const { return m_model; }
    std::uint32_t ModelBit() const { return m_modelBit; }
    QString PortName() const { return m_portName; }

    // Lines the receiver sends of its own accord update this store (the bulk
    // read's target, so that a change at the front panel during a backup is
    // kept); nullptr to ignore them.
    void FollowStatusLines(SettingsStore* store);

    bool IsLost() const { return !m_lostReason.isEmpty(); }
    // kExitNoReceiver, after saying so, when the receiver was lost; else kExitOk.
    int CheckNotLost() const;

    void Error(const QString& text) const;

private:
    enum class Attempt { CannotOpen, NoAnswer, UnknownModel, Known };
    Attempt Try(const QString& portName);
    int AutoDetect();

    std::FILE* m_errors;
    SerialPort m_port;
    CommandChannel m_channel;
    SettingsStore* m_statusTarget = nullptr;
    QString m_portName;
    QByteArray m_model;
    std::uint32_t m_modelBit = 0;
    QString m_lostReason;
};
