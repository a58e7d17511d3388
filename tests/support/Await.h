#pragma once

#include "CommandChannel.h"
#include "Completion.h"

#include <QEventLoop>
#include <QTimer>

#include <qcoro/qcorotask.h>

#include <functional>

// A test waits for what the program awaits: the event loop runs meanwhile.
template <typename T>
T Await(QCoro::Task<T>&& task) {
    return QCoro::waitFor(std::move(task));
}

// A command's reply as text: the answer, "Timeout", or "" when nothing could answer.
inline QByteArray Reply(CommandChannel& channel, CommandChannel::Kind kind,
                        const QByteArray& body) {
    return QCoro::waitFor(Asked(channel, kind, body)).Text();
}
inline QByteArray QueryReply(CommandChannel& channel, const QByteArray& key) {
    return Reply(channel, CommandChannel::Kind::Query, key + '?');
}

// Runs the event loop until the predicate holds or the time is up. Unlike
// QTest::qWaitFor, which sleeps 10 ms between rounds, it never sleeps: an
// exchange of hundreds of commands goes at the line's pace.
inline bool WaitUntil(const std::function<bool()>& predicate, int timeoutMs) {
    if (predicate())
        return true;
    QEventLoop loop;
    QTimer check;
    check.setInterval(1);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (predicate())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start();
    loop.exec();
    return predicate();
}
