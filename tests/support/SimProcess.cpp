#include "SimProcess.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kStartTimeout = 5s;
constexpr int kStopTimeoutMs = 3000;

struct LogLine {
    char tag = 0;
    qint64 wireBytes = 0;
    QByteArray text;
};

QByteArray Unescape(const QByteArray& text) {
    QByteArray plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            plain += text[i];
            continue;
        }
        const char kind = text[++i];
        if (kind == 'r') {
            plain += '\r';
        } else if (kind == 'n') {
            plain += '\n';
        } else if (kind == 'x' && i + 2 < text.size()) {
            plain += static_cast<char>(text.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else {
            plain += kind;
        }
    }
    return plain;
}

QList<LogLine> ParseLog(const QByteArray& log) {
    QList<LogLine> lines;
    for (const QByteArray& raw : log.split('\n')) {
        // "<time> <tag> <bytes> <text>"; the text may be empty.
        const qsizetype first = raw.indexOf(' ');
        const qsizetype second = first < 0 ? -1 : raw.indexOf(' ', first + 1);
        const qsizetype third = second < 0 ? -1 : raw.indexOf(' ', second + 1);
        if (third < 0 || second != first + 2)
            continue;
        lines.append({raw[first + 1], raw.mid(second + 1, third - second - 1).toLongLong(),
                      Unescape(raw.mid(third + 1))});
    }
    return lines;
}

// The simulator's own arguments, then the test's; `args` must outlive the
// returned argv, which points into it.
std::vector<char*> Argv(QList<QByteArray>& args, const QStringList& extraArgs) {
    for (const QString& arg : extraArgs)
        args.append(arg.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    return argv;
}

bool PathExists(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

}  // namespace

SimProcess::SimProcess(const QStringList& extraArgs, Line line) {
    QByteArray folderTemplate = QDir::tempPath().toLocal8Bit() + "/ampdesk-sim-XXXXXX";
    if (::mkdtemp(folderTemplate.data()) == nullptr) {
        std::perror("SimProcess: mkdtemp");
        return;
    }
    m_folder = QFile::decodeName(folderTemplate);
    m_linkPath = m_folder + "/port";
    m_logPath = m_folder + "/wire.log";
    if (line == Line::Tcp) {
        StartTcp(extraArgs);
        return;
    }

    QList<QByteArray> args{AMPDESK_SIM_PATH, "--link", QFile::encodeName(m_linkPath), "--log",
                           QFile::encodeName(m_logPath)};
    std::vector<char*> argv = Argv(args, extraArgs);

    // Watch the folder before starting, so the link's creation cannot slip by.
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch >= 0)
        ::inotify_add_watch(watch, folderTemplate.constData(), IN_CREATE | IN_MOVED_TO);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The simulator prints the terminal's path; the link is what tests use.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, AMPDESK_SIM_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        std::fprintf(stderr, "SimProcess: cannot start %s\n", AMPDESK_SIM_PATH);
        if (watch >= 0)
            ::close(watch);
        return;
    }
    m_pid = pid;

    const Clock::time_point deadline = Clock::now() + kStartTimeout;
    bool linked = PathExists(m_linkPath);
    while (!linked && Clock::now() < deadline) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            std::fprintf(stderr, "SimProcess: the simulator ended before linking %s\n",
                         qPrintable(m_linkPath));
            m_pid = -1;
            break;
        }
        // Woken by the folder's change; the short time-out also covers a
        // failed inotify and the simulator dying without making the link.
        pollfd fd{watch, POLLIN, 0};
        ::poll(&fd, watch >= 0 ? 1 : 0, 50);
        char buffer[4096];
        if (watch >= 0) {
            while (::read(watch, buffer, sizeof buffer) > 0) {
            }
        }
        linked = PathExists(m_linkPath);
    }
    if (watch >= 0)
        ::close(watch);
    if (!linked && m_pid > 0) {
        std::fprintf(stderr, "SimProcess: no link at %s in time\n", qPrintable(m_linkPath));
        Stop();
    }
}

// The simulator prints "tcp://127.0.0.1:<port>" once it listens; that line
// is read from a pipe, and standard error goes to a file tests can read.
void SimProcess::StartTcp(const QStringList& extraArgs) {
    m_errorPath = m_folder + "/stderr.log";
    QList<QByteArray> args{AMPDESK_SIM_PATH, "--tcp", "127.0.0.1:0", "--log",
                           QFile::encodeName(m_logPath)};
    std::vector<char*> argv = Argv(args, extraArgs);

    int out[2] = {-1, -1};
    if (::pipe2(out, O_CLOEXEC) != 0) {
        std::perror("SimProcess: pipe2");
        return;
    }
    const QByteArray errorPath = QFile::encodeName(m_errorPath);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath.constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, AMPDESK_SIM_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        std::fprintf(stderr, "SimProcess: cannot start %s\n", AMPDESK_SIM_PATH);
        ::close(out[0]);
        return;
    }
    m_pid = pid;

    const Clock::time_point deadline = Clock::now() + kStartTimeout;
    QByteArray printed;
    while (!printed.contains('\n') && Clock::now() < deadline) {
        pollfd fd{out[0], POLLIN, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (::poll(&fd, 1, static_cast<int>(std::max<qint64>(1, left.count()))) <= 0)
            continue;
        char buffer[256];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;  // the simulator ended (it says why on its standard error)
        printed.append(buffer, n);
    }
    ::close(out[0]);
    if (!printed.startsWith("tcp://") || !printed.contains('\n')) {
        std::fprintf(stderr, "SimProcess: the simulator did not listen: %s\n",
                     ErrorOutput().constData());
        Stop();
        return;
    }
    m_linkPath = QString::fromLatin1(printed.left(printed.indexOf('\n')));
}

QByteArray SimProcess::ErrorOutput() const {
    QFile file(m_errorPath);
    if (m_errorPath.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

SimProcess::~SimProcess() {
    Stop();
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
}

QByteArray SimProcess::Log() const {
    QFile file(m_logPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QList<QByteArray> SimProcess::ReceivedCommands() const {
    QList<QByteArray> commands;
    for (const LogLine& line : ParseLog(Log())) {
        if (line.tag == 'R')
            commands.append(line.text);
    }
    return commands;
}

QList<QByteArray> SimProcess::SentLines() const {
    QList<QByteArray> sent;
    for (const LogLine& line : ParseLog(Log())) {
        if (line.tag == 'S')
            sent.append(line.text);
    }
    return sent;
}

qint64 SimProcess::BytesReceived() const {
    qint64 total = 0;
    for (const LogLine& line : ParseLog(Log())) {
        if (line.tag == 'R' || line.tag == 'D')
            total += line.wireBytes;
    }
    return total;
}

qint64 SimProcess::BytesSent() const {
    qint64 total = 0;
    for (const LogLine& line : ParseLog(Log())) {
        if (line.tag == 'S')
            total += line.wireBytes;
    }
    return total;
}

void SimProcess::Signal(int signalNumber) const {
    if (m_pid > 0)
        ::kill(m_pid, signalNumber);
}

void SimProcess::Stop() {
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    // Waits on the process's pidfd, bounded; a simulator that does not end in
    // time is killed outright.
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
    if (pidFd >= 0) {
        pollfd fd{pidFd, POLLIN, 0};
        ::poll(&fd, 1, kStopTimeoutMs);
        ::close(pidFd);
    }
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) != m_pid) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
}
