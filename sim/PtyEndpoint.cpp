#include "PtyEndpoint.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

QString SystemErrorText(const char* what, int errorNumber) {
    return QStringLiteral("%1: %2").arg(QString::fromLocal8Bit(what),
                                        QString::fromLocal8Bit(std::strerror(errorNumber)));
}

PtyEndpoint::~PtyEndpoint() {
    RemoveLink();
    if (m_openWatchFd >= 0)
        ::close(m_openWatchFd);
    if (m_master >= 0)
        ::close(m_master);
}

bool PtyEndpoint::Open(QString* error) {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0) {
        *error = SystemErrorText("posix_openpt", errno);
        return false;
    }
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        *error = SystemErrorText("grantpt/unlockpt", errno);
        return false;
    }
    char name[256];
    if (const int rc = ::ptsname_r(m_master, name, sizeof name); rc != 0) {
        *error = SystemErrorText("ptsname_r", rc);
        return false;
    }
    m_slavePath = name;
    // Raw both ways and no echo: the terminal settings are shared by both ends,
    // and the console sets its own speed when it opens the slave.
    termios settings{};
    if (::tcgetattr(m_master, &settings) != 0) {
        *error = SystemErrorText("tcgetattr", errno);
        return false;
    }
    ::cfmakeraw(&settings);
    if (::tcsetattr(m_master, TCSANOW, &settings) != 0) {
        *error = SystemErrorText("tcsetattr", errno);
        return false;
    }
    WatchSlaveOpens();
    return true;
}

// Without inotify the loop looks at a closed line again now and then.
void PtyEndpoint::WatchSlaveOpens() {
    m_openWatchFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_openWatchFd < 0)
        return;
    if (::inotify_add_watch(m_openWatchFd, m_slavePath.constData(), IN_OPEN) < 0) {
        ::close(m_openWatchFd);
        m_openWatchFd = -1;
    }
}

bool PtyEndpoint::DrainSlaveOpens() {
    alignas(inotify_event) char buffer[4096];
    bool any = false;
    while (::read(m_openWatchFd, buffer, sizeof buffer) > 0)
        any = true;
    return any;
}

bool PtyEndpoint::ConsoleArrived() {
    return m_openWatchFd >= 0 ? DrainSlaveOpens() : true;
}

bool PtyEndpoint::ConsoleLeft() {
    if (m_openWatchFd < 0)
        return false;
    // An open that came before the drain would be lost: look at the line again.
    DrainSlaveOpens();
    pollfd master{m_master, POLLIN, 0};
    return ::poll(&master, 1, 0) >= 0 && (master.revents & POLLHUP) == 0;
}

bool PtyEndpoint::MakeLink(const QString& path, QString* error) {
    const QByteArray link = path.toLocal8Bit();
    struct stat existing {};
    if (::lstat(link.constData(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        *error = QStringLiteral("%1 exists and is not a symbolic link").arg(path);
        return false;
    }
    // Made under a temporary name and renamed, so the link never points nowhere.
    const QByteArray temporary = link + ".tmp" + QByteArray::number(::getpid());
    ::unlink(temporary.constData());
    if (::symlink(m_slavePath.constData(), temporary.constData()) != 0) {
        *error = SystemErrorText(("symlink " + temporary).constData(), errno);
        return false;
    }
    if (::rename(temporary.constData(), link.constData()) != 0) {
        *error = SystemErrorText(("rename to " + link).constData(), errno);
        ::unlink(temporary.constData());
        return false;
    }
    m_linkPath = link;
    return true;
}

void PtyEndpoint::RemoveLink() {
    if (m_linkPath.isEmpty())
        return;
    char target[256];
    const ssize_t length = ::readlink(m_linkPath.constData(), target, sizeof target - 1);
    if (length >= 0 && QByteArray(target, length) == m_slavePath)
        ::unlink(m_linkPath.constData());
    m_linkPath.clear();
}
