#pragma once

#include <QString>

#include <cstdio>

// One line per event on standard error, where systemd's journal takes it.
inline void BridgeLog(const QString& text) {
    std::fprintf(stderr, "ampdesk-bridge: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}
