#pragma once

#include "CommandChannel.h"
#include "Completion.h"

#include <qcoro/qcorotask.h>

// A test waits for what the program awaits: the event loop runs meanwhile.
template <typename T>
T Await(QCoro::Task<T>&& task) {
    return QCoro::waitFor(std::move(task));
}

// A command's reply as text: the answer, "Timeout", or "" when nothing could answer.
inline QByteArray Reply(CommandChannel& channel, CommandChannel::Kind kind, const QByteArray& body) {
    return QCoro::waitFor(Asked(channel, kind, body)).Text();
}
inline QByteArray QueryReply(CommandChannel& channel, const QByteArray& key) {
    return Reply(channel, CommandChannel::Kind::Query, key + '?');
}
