#pragma once

#include "LinePacer.h"
#include "SimOptions.h"
#include "UnitLimits.h"

#include <QList>

#include <random>

class LineEndpoint;
class Receiver;
class WireLog;

// The simulator's one thread: waits in ppoll() on the line, on signals and
// on the next deadline (a command whose bytes have crossed the wire, a chunk of
// an answer due to leave, the front panel, a state save).
class SimLoop {
public:
    SimLoop(const SimOptions& options, Receiver& receiver, LineEndpoint& line, WireLog& log);
    ~SimLoop();
    SimLoop(const SimLoop&) = delete;
    SimLoop& operator=(const SimLoop&) = delete;

    // Sets up signals. Called before the line is made known, so that a signal
    // sent as soon as it is stops the loop as usual.
    bool Prepare();
    // Runs until SIGINT, SIGTERM or SIGHUP. Returns the exit status.
    int Run();

private:
    using Clock = LinePacer::Clock;

    bool SetUpSignals();
    void RunDue(Clock::time_point now);
    void Answer(const QList<QByteArray>& lines, Clock::time_point ready,
                LinePacer::Outbound::Kind kind = LinePacer::Outbound::Kind::Answer);
    void FrontPanel(Clock::time_point now);
    // False while the bytes read last are still crossing the wire.
    bool MayRead(Clock::time_point now) const;
    void PumpOutput(Clock::time_point now);
    void ReadLine(Clock::time_point now);
    void LineClosed(Clock::time_point now);
    void LineOpened(Clock::time_point now);
    void HandleSignals(Clock::time_point now);
    void SaveState();
    std::optional<Clock::time_point> NextDeadline(Clock::time_point now) const;

    const SimOptions& m_options;
    Receiver& m_receiver;
    LineEndpoint& m_line;
    WireLog& m_log;
    LinePacer::Inbound m_inbound;
    LinePacer::Outbound m_outbound;
    UnitLimits m_limits;
    std::mt19937 m_random;
    int m_signalFd = -1;
    // A console holds the line (as far as we know). Closed until a console
    // first opens it: nothing is sent to a line nobody has opened.
    bool m_lineOpen;
    bool m_unheardNoted = false;  // the log says once per closed spell that the front panel waits
    bool m_blocked = false;       // the line is full: wait until it can be written
    bool m_moreWaiting = false;   // the last paced read filled its chunk
    bool m_silent;
    bool m_stop = false;
    bool m_stateDirty = false;
    qint64 m_junkLines = 0;
    std::optional<Clock::time_point> m_nextFrontPanel;
    std::optional<Clock::time_point> m_saveDue;
    std::optional<Clock::time_point> m_outputWake;
};
