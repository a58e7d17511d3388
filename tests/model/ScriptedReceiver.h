#pragma once

#include "PtyPeer.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <mutex>
#include <thread>

// A receiver stand-in on a pseudo-terminal that answers each received command
// (the text between carriage returns) with whatever the script returns; an
// empty answer sends nothing. Used where a test needs replies the simulator
// never gives.
class ScriptedReceiver {
public:
    using Script = std::function<QByteArray(const QByteArray& command, int occurrence)>;

    explicit ScriptedReceiver(Script script);
    ~ScriptedReceiver();
    ScriptedReceiver(const ScriptedReceiver&) = delete;
    ScriptedReceiver& operator=(const ScriptedReceiver&) = delete;

    bool IsRunning() const { return m_thread.joinable(); }
    QString DevicePath() const { return m_peer.DevicePath(); }
    QList<QByteArray> ReceivedCommands() const;

private:
    void Run();

    PtyPeer m_peer;
    Script m_script;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    int m_slaveHolder = -1;
    mutable std::mutex m_mutex;
    QList<QByteArray> m_commands;
    std::thread m_thread;
};
