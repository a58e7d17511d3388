#pragma once

#include <QByteArray>
#include <QString>

// The receiver's end of a pseudo-terminal: the master side, raw and
// non-blocking. The slave side is left to the console, which opens it
// exclusively; the simulator never opens it itself.
class PtyEndpoint {
public:
    PtyEndpoint() = default;
    ~PtyEndpoint();
    PtyEndpoint(const PtyEndpoint&) = delete;
    PtyEndpoint& operator=(const PtyEndpoint&) = delete;

    bool Open(QString* error);
    int MasterFd() const { return m_master; }
    QByteArray SlavePath() const { return m_slavePath; }

    // Points the symbolic link `path` at the slave, replacing an older link
    // there (a real file or folder at `path` is left alone: error).
    bool MakeLink(const QString& path, QString* error);
    // Removes the link if it still points at this terminal.
    void RemoveLink();

private:
    int m_master = -1;
    QByteArray m_slavePath;
    QByteArray m_linkPath;
};

QString SystemErrorText(const char* what, int errorNumber);
