#pragma once

#include "PtyPeer.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

// A receiver stand-in on a pseudo-terminal that answers each received command
// (the text between carriage returns) with whatever the script returns; an
// empty answer sends nothing. Used where a test needs replies the simulator
// never gives, or a receiver that misbehaves.
class ScriptedReceiver {
public:
    struct Answer {
        Answer() = default;
        Answer(QByteArray text) : lines(std::move(text)) {}  // NOLINT: a script returns text
        Answer(const char* text) : lines(text) {}            // NOLINT
        // The cable is pulled: the stand-in closes its end and stops.
        static Answer HangUp() {
            Answer answer;
            answer.hangUp = true;
            return answer;
        }
        QByteArray lines;  // "a=1" or several lines joined by "\r"; each is framed
        bool hangUp = false;
    };
    using Script = std::function<Answer(const QByteArray& command, int occurrence)>;

    explicit ScriptedReceiver(Script script,
                              std::chrono::milliseconds latency = std::chrono::milliseconds(0));
    ~ScriptedReceiver();
    ScriptedReceiver(const ScriptedReceiver&) = delete;
    ScriptedReceiver& operator=(const ScriptedReceiver&) = delete;

    bool IsRunning() const { return m_thread.joinable(); }
    QString DevicePath() const { return m_peer.DevicePath(); }
    QList<QByteArray> ReceivedCommands() const;
    qsizetype CommandCount() const;
    // Sends a line of the receiver's own accord (front panel).
    void Say(const QByteArray& line);

private:
    void Run();
    void Reply(const Answer& answer);

    PtyPeer m_peer;
    Script m_script;
    std::chrono::milliseconds m_latency;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    int m_slaveHolder = -1;
    mutable std::mutex m_mutex;  // guards m_commands and writes to the peer
    QList<QByteArray> m_commands;
    std::atomic<bool> m_hungUp{false};
    std::thread m_thread;
};
