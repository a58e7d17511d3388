#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class CommandChannel;
class Prompts;
class QWidget;

// A message box runs its own event loop until the user closes it. Opened while
// a receiver line is being handled it would hold back every following line
// (the keep-alive would then miss answers that have arrived), and opened while
// a Request waits it would hold up the connect-time read. So messages are
// posted: each is shown once the current handling has returned and no Request
// waits, one at a time, and a message already waiting or showing is not queued
// again (a receiver repeating a bad value opens one box, not a pile).
class PostedMessages : public QObject {
    Q_OBJECT

public:
    PostedMessages(Prompts& prompts, CommandChannel& channel, QWidget* parent);

    void Post(const QString& text);

private:
    void ShowNext();

    Prompts& m_prompts;
    CommandChannel& m_channel;
    QWidget* m_parent;
    QStringList m_queued;  // the first is showing while m_showing
    bool m_showing = false;
};
