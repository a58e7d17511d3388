#pragma once

#include <QString>

// Shown while a bulk read or restore runs; the window supplies a small
// "Progress" window, the command-line tool a line on the terminal, tests a
// recorder.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void Begin(const QString& label) = 0;
    virtual void SetPercent(int percent) = 0;
    virtual void End() = 0;
};
