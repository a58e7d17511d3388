#pragma once

#include "LineEndpoint.h"

#include <QByteArray>
#include <QString>

// The receiver's end of a pseudo-terminal: the master side, raw and
// non-blocking. The slave side is left to the console, which opens it
// exclusively; the simulator never opens it itself. Whether the console holds
// the slave open is watched with inotify where it can be.
class PtyEndpoint : public LineEndpoint {
public:
    PtyEndpoint() = default;
    ~PtyEndpoint() override;
    PtyEndpoint(const PtyEndpoint&) = delete;
    PtyEndpoint& operator=(const PtyEndpoint&) = delete;

    bool Open(QString* error);
    int MasterFd() const { return m_master; }
    QByteArray SlavePath() const { return m_slavePath; }

    int LineFd() const override { return m_master; }
    int WatchFd(bool lineOpen) const override { return lineOpen ? -1 : m_openWatchFd; }
    bool ConsoleArrived() override;
    bool ConsoleLeft() override;
    bool NeedsRecheck() const override { return m_openWatchFd < 0; }
    // Without the watch an open cannot be told from a line never opened.
    bool OpenAtStart() const override { return m_openWatchFd < 0; }

    // Points the symbolic link `path` at the slave, replacing an older link
    // there (a real file or folder at `path` is left alone: error).
    bool MakeLink(const QString& path, QString* error);
    // Removes the link if it still points at this terminal.
    void RemoveLink();

private:
    void WatchSlaveOpens();
    bool DrainSlaveOpens();

    int m_master = -1;
    int m_openWatchFd = -1;  // inotify on the slave: tells when the console opens it
    QByteArray m_slavePath;
    QByteArray m_linkPath;
};

QString SystemErrorText(const char* what, int errorNumber);
