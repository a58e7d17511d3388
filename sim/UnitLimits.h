#pragma once

#include "LinePacer.h"
#include "SimOptions.h"

#include <QByteArray>
#include <QList>

// What a real unit with a slow parser, a small input buffer or a strict
// one-command-at-a-time loop makes of the commands that reach it. Without
// limits every command is taken whole, when its last byte has arrived.
class UnitLimits {
public:
    using Clock = LinePacer::Clock;

    UnitLimits(const SimOptions& options, LinePacer::Duration byteTime);

    struct Taken {
        bool executed = true;
        QByteArray body;             // as the unit read it
        Clock::time_point handled;   // when the unit is done thinking about it
        const char* note = nullptr;  // what happened to it, for the log; nullptr: taken whole
    };
    // The command as the unit takes it: whole, garbled (the bytes that came
    // while it was busy, beyond its buffer, are lost) or dropped.
    Taken Take(const LinePacer::Command& command);
    // The command just taken is answered with these lines from `ready` on.
    void Answered(Clock::time_point handled, Clock::time_point ready,
                  const QList<QByteArray>& lines);

private:
    LinePacer::Duration m_byteTime;
    int m_thinkMs;
    int m_inputBuffer;
    bool m_lockstepOnly;
    qint64 m_framingBytes;  // around each answer line
    Clock::time_point m_handledUntil{};
    // Until the answer to the last command has left: the unit is busy.
    Clock::time_point m_busyUntil{};
    qint64 m_bufferedWhileBusy = 0;
};
