#include "ScriptedReceiver.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

ScriptedReceiver::ScriptedReceiver(Script script, std::chrono::milliseconds latency)
    : m_script(std::move(script)), m_latency(latency) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return;
    m_wakeRead = fds[0];
    m_wakeWrite = fds[1];
    // Holding the slave side open keeps the master from reporting a hang-up
    // before (and between) the test's own opens of the port.
    if (m_peer.IsOpen()) {
        m_slaveHolder =
            open(m_peer.DevicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    if (m_peer.IsOpen() && m_slaveHolder >= 0)
        m_thread = std::thread([this] { Run(); });
}

ScriptedReceiver::~ScriptedReceiver() {
    if (m_wakeWrite >= 0) {
        const char stop = 'x';
        [[maybe_unused]] const ssize_t written = write(m_wakeWrite, &stop, 1);
    }
    if (m_thread.joinable())
        m_thread.join();
    if (m_wakeRead >= 0)
        close(m_wakeRead);
    if (m_wakeWrite >= 0)
        close(m_wakeWrite);
    if (m_slaveHolder >= 0)
        close(m_slaveHolder);
}

QList<QByteArray> ScriptedReceiver::ReceivedCommands() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands;
}

qsizetype ScriptedReceiver::CommandCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands.size();
}

void ScriptedReceiver::Say(const QByteArray& line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_hungUp)
        m_peer.WriteAll('\r' + line + '\r');
}

void ScriptedReceiver::Reply(const Answer& answer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (answer.hangUp) {
        m_hungUp = true;
        m_peer.CloseMaster();
        if (m_slaveHolder >= 0) {
            close(m_slaveHolder);
            m_slaveHolder = -1;
        }
        return;
    }
    if (answer.lines.isEmpty())
        return;
    for (const QByteArray& line : answer.lines.split('\r'))
        m_peer.WriteAll('\r' + line + '\r');
}

void ScriptedReceiver::Run() {
    QByteArray pending;
    for (;;) {
        pollfd fds[2] = {{m_peer.MasterFd(), POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        if ((fds[0].revents & (POLLHUP | POLLERR)) != 0 && (fds[0].revents & POLLIN) == 0)
            return;
        char buffer[512];
        const ssize_t count = read(m_peer.MasterFd(), buffer, sizeof buffer);
        if (count <= 0)
            continue;
        pending.append(buffer, count);

        qsizetype end;
        while ((end = pending.indexOf('\r')) >= 0) {
            const QByteArray command = pending.left(end);
            pending.remove(0, end + 1);
            if (command.isEmpty())
                continue;
            int occurrence = 0;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                occurrence = static_cast<int>(m_commands.count(command));
                m_commands.append(command);
            }
            const Answer answer = m_script(command, occurrence);
            if (m_latency.count() > 0 && !answer.lines.isEmpty())
                std::this_thread::sleep_for(m_latency);
            Reply(answer);
            if (m_hungUp)
                return;
        }
    }
}
