#pragma once

#include "LinePacer.h"
#include "SimOptions.h"

#include <QList>

#include <random>

class PtyEndpoint;
class Receiver;
class WireLog;

// The simulator's one thread: waits in ppoll() on the terminal, on signals and
// on the next deadline (a command whose bytes have crossed the wire, a chunk of
// an answer due to leave, the front panel, a state save).
class SimLoop {
public:
    SimLoop(const SimOptions& options, Receiver& receiver, PtyEndpoint& pty, WireLog& log);
    ~SimLoop();
    SimLoop(const SimLoop&) = delete;
    SimLoop& operator=(const SimLoop&) = delete;

    // Sets up signals and the watch for the console opening the line. Called
    // before the line is made known, so that no open goes unseen.
    bool Prepare();
    // Runs until SIGINT, SIGTERM or SIGHUP. Returns the exit status.
    int Run();

private:
    using Clock = LinePacer::Clock;

    bool SetUpSignals();
    void WatchSlaveOpens();
    void RunDue(Clock::time_point now);
    void Answer(const QList<QByteArray>& lines, Clock::time_point ready,
                LinePacer::Outbound::Kind kind = LinePacer::Outbound::Kind::Answer);
    void FrontPanel(Clock::time_point now);
    // False while the bytes read last are still crossing the wire.
    bool MayRead(Clock::time_point now) const;
    void PumpOutput(Clock::time_point now);
    void ReadMaster(Clock::time_point now);
    void LineClosed(Clock::time_point now);
    bool DrainSlaveOpens();
    void HandleSignals(Clock::time_point now);
    void SaveState();
    std::optional<Clock::time_point> NextDeadline() const;

    const SimOptions& m_options;
    Receiver& m_receiver;
    PtyEndpoint& m_pty;
    WireLog& m_log;
    LinePacer::Inbound m_inbound;
    LinePacer::Outbound m_outbound;
    std::mt19937 m_random;
    int m_signalFd = -1;
    int m_openWatchFd = -1;  // inotify on the slave: tells when the console opens it
    // Someone holds the slave open (as far as we know). Closed until the
    // console first opens it: nothing is sent to a line nobody has opened.
    bool m_lineOpen = false;
    bool m_blocked = false;
    bool m_moreWaiting = false;  // the last paced read filled its chunk  // the terminal is full:
                                 // wait until it can be written
    bool m_silent;
    bool m_stop = false;
    bool m_stateDirty = false;
    std::optional<Clock::time_point> m_nextFrontPanel;
    std::optional<Clock::time_point> m_saveDue;
    std::optional<Clock::time_point> m_outputWake;
};
