#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>

// The console's end of the simulator's line, as a test drives it: the link
// opened raw with termios, bounded reads.
class PortClient {
public:
    explicit PortClient(const QString& path);
    ~PortClient();
    PortClient(const PortClient&) = delete;
    PortClient& operator=(const PortClient&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    bool Write(const QByteArray& bytes);
    // Sends "\r<command>\r" as the console frames it.
    bool Send(const QByteArray& command) { return Write("\r" + command + "\r"); }
    // The next non-empty CR-ended line, or an empty text when none came in time.
    QByteArray ReadLine(std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
    QList<QByteArray> ReadLines(
        int count, std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
    // Raw bytes until `count` arrived or the time is up.
    QByteArray ReadBytes(int count, std::chrono::milliseconds timeout);
    void Close();

private:
    bool Fill(std::chrono::steady_clock::time_point deadline);

    int m_fd = -1;
    QByteArray m_pending;
};
