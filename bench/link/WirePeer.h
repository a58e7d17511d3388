#pragma once

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <thread>

// The receiver's end of a pseudo-terminal, paced like a real serial line. A
// pseudo-terminal moves bytes at once, so the peer charges the wire time of
// every byte (10 bits: start, 8 data, stop) itself: a command counts as
// received only when its last byte would have arrived, and the answer leaves
// byte by byte at the line's rate.
//
// Each command "\rKEY?\r" is answered with "\rKEY=<value>\r".
class WirePeer {
public:
    WirePeer(unsigned baud, QByteArray value);
    ~WirePeer();
    WirePeer(const WirePeer&) = delete;
    WirePeer& operator=(const WirePeer&) = delete;

    bool IsOpen() const { return m_master >= 0; }
    QByteArray DevicePath() const { return m_slavePath; }
    std::chrono::nanoseconds ByteTime() const { return m_byteTime; }

    void Start();

private:
    void Run();
    bool Answer(const QByteArray& key, timespec start);

    int m_master = -1;
    int m_stopFd = -1;
    QByteArray m_slavePath;
    QByteArray m_value;
    std::chrono::nanoseconds m_byteTime;
    std::thread m_thread;
};
