#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// Runs build/bin/ampdesk-receiver-sim for one test: linked at a fresh path in a
// temporary folder, logging the wire to a file there, killed on destruction.
class SimProcess {
public:
    // Pty: the receiver at the end of a pseudo-terminal. Tcp: behind a serial
    // device server on 127.0.0.1, any free port.
    enum class Line { Pty, Tcp };

    // Extra arguments, e.g. {"--model", "ZA08", "--latency-ms", "5"}.
    explicit SimProcess(const QStringList& extraArgs = {}, Line line = Line::Pty);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // True once the simulator runs and its link exists.
    bool IsRunning() const { return m_pid > 0; }
    // What to open as the port: the symbolic link to the simulator's
    // pseudo-terminal, or its "tcp://127.0.0.1:port".
    QString LinkPath() const { return m_linkPath; }
    QString LogPath() const { return m_logPath; }
    QString Folder() const { return m_folder; }

    // The log so far: one line per received command and per sent line,
    //   <ms since start, 3 decimals> <tag> <wire bytes> <escaped text>
    // tag R: a command counted as received (text without framing; the bytes
    // include framing CRs and empty commands before it); S: a line sent (bytes
    // as written, framing included); D: an overlong command dropped; N: a note.
    // Escapes: "\\" backslash, "\r", "\n", "\xHH" for other non-printable bytes.
    QByteArray Log() const;
    // What the simulator wrote to standard error (kept for Line::Tcp only).
    QByteArray ErrorOutput() const;
    // The commands the simulator received, in order, without framing CRs.
    QList<QByteArray> ReceivedCommands() const;
    // The lines the simulator sent, in order, without framing CRs.
    QList<QByteArray> SentLines() const;
    // Bytes that crossed the wire so far, each way, framing included.
    qint64 BytesReceived() const;
    qint64 BytesSent() const;
    // Sends a signal (SIGUSR1 toggles silence).
    void Signal(int signalNumber) const;
    void Stop();

private:
    void StartTcp(const QStringList& extraArgs);

    pid_t m_pid = -1;
    QString m_folder;
    QString m_linkPath;
    QString m_logPath;
    QString m_errorPath;
};
