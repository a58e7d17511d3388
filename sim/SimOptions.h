#pragma once

#include <QByteArray>
#include <QString>

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
    bool silent = false;
    bool leadingCr = true;
};

struct ParsedOptions {
    std::optional<SimOptions> options;  // empty on error or when help was asked
    QString message;                    // the error, or the usage text for --help
};

ParsedOptions ParseOptions(int argc, const char* const* argv);
QString UsageText();
