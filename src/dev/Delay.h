#pragma once

#include "Completion.h"

#include <QObject>
#include <QTimer>

// Lets the event loop run for a while inside a developer aid's coroutine, so
// that posted layouts and the receiver's answers are shown before a picture.
// The timer belongs to `context`: the aid's window outlives the aid.
inline Completion<bool> Delay(QObject* context, int milliseconds) {
    return Completion<bool>([context, milliseconds](std::function<void(bool)> done) {
        QTimer::singleShot(milliseconds, context, [done = std::move(done)] { done(true); });
    });
}
