#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class CommandChannel;
class Prompts;
class QWidget;

// A message box runs its own event loop until the user closes it. Opened while
// a receiver line is being handled it would hold back every following line
// (the keep-alive would then miss answers that have arrived), and opened while
// a Request waits it would hold up the connect-time read. So messages and
// questions are posted: each is shown once the current handling has returned,
// no Request waits and the window is not busy otherwise (a transfer pumping
// events between its requests), one at a time; one already waiting or showing
// is not queued again (a receiver repeating a bad value opens one box, not a
// pile).
class PostedMessages : public QObject {
    Q_OBJECT

public:
    // How soon a box held back by `mayShow` is tried again: nothing signals
    // the end of a transfer or a connection attempt.
    static constexpr int kRetryMs = 100;

    // `mayShow`, when given, is false while the window is busy.
    PostedMessages(Prompts& prompts, CommandChannel& channel, QWidget* parent,
                   std::function<bool()> mayShow = {});

    // A message with an OK button; `closed` runs once the user has closed it.
    void Post(const QString& text, std::function<void()> closed = {});
    // A Yes/No question; `answered` gets the answer.
    void Ask(const QString& question, std::function<void(bool yes)> answered);

private:
    struct Posted {
        QString text;
        bool question = false;
        std::function<void(bool yes)> done;
    };
    void Queue(Posted posted);
    void ShowNext();

    Prompts& m_prompts;
    CommandChannel& m_channel;
    QWidget* m_parent;
    std::function<bool()> m_mayShow;
    QList<Posted> m_queued;  // the first is showing while m_showing
    bool m_showing = false;
    bool m_retryPending = false;
};
