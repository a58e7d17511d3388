#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

struct SimOptions {
    QByteArray model = "ZA11";
    QString linkPath;
    QString logPath;
    QString statePath;
    QString tcpAddress;  // "[host:]port": serve on TCP instead of a pseudo-terminal
    int latencyMs = 0;
    int setLatencyMs = -1;  // -1: as latencyMs
    int baud = 115200;      // 0: no pacing, bytes move as fast as the pseudo-terminal allows
    int frontPanelMs = 0;
    // A real unit's limits: time to handle a command, the bytes it keeps
    // while busy (0: no limit), and whether it drops a command that arrives
    // before the one before is answered.
    int thinkMs = 0;
    int inputBuffer = 0;
    bool lockstepOnly = false;
    bool junkFlood = false;
    bool silent = false;
    bool leadingCr = true;
};

struct ParsedOptions {
    enum class Outcome { Run, Help, Version, Error };
    Outcome outcome = Outcome::Error;
    std::optional<SimOptions> options;  // set when the outcome is Run
    QString message;                    // the error, the help text or the version line
};

// `arguments` with the program name first, as QCoreApplication::arguments().
ParsedOptions ParseOptions(const QStringList& arguments);
