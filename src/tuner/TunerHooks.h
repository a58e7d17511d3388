#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// What the Tuner page and its preset editor need of the main window.
struct TunerHooks {
    // CommandChannel::SendLine, which frames the line: false when the port is
    // closed or the write refused.
    std::function<bool(const QByteArray& line)> send;
    // The Settings Store's GetValue ("error" for a key it does not hold).
    std::function<QByteArray(const QByteArray& key)> getValue;
    // A message box with an OK button, shown once no receiver line or request
    // is under way; `closed` runs when the user has closed it.
    std::function<void(const QString& message, std::function<void()> closed)> showMessage;
};
