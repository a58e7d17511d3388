#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

// The far end of a pseudo-terminal, standing in for a receiver in link tests.
// The test opens DevicePath() with SerialPort and talks through this master side.
class PtyPeer {
public:
    PtyPeer();  // opens the master in raw mode; check IsOpen()
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool IsOpen() const { return m_master >= 0; }
    QString DevicePath() const { return m_slavePath; }
    int MasterFd() const { return m_master; }

    bool WriteAll(const QByteArray& bytes);
    // Reads until `count` bytes arrived or the time is up; returns what came.
    QByteArray ReadBytes(int count, std::chrono::milliseconds timeout);
    // Reads until the bytes end with `suffix` or the time is up.
    QByteArray ReadUntil(const QByteArray& suffix, std::chrono::milliseconds timeout);
    // Everything readable within the time.
    QByteArray ReadFor(std::chrono::milliseconds duration);
    // Closes the master: the slave side sees a hang-up.
    void CloseMaster();

private:
    int m_master = -1;
    QString m_slavePath;
};
