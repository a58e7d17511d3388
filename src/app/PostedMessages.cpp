#include "PostedMessages.h"

#include "CommandChannel.h"
#include "Prompts.h"

#include <QTimer>
#include <QWidget>

#include <algorithm>

PostedMessages::PostedMessages(Prompts& prompts, CommandChannel& channel, QWidget* parent,
                               std::function<bool()> mayShow)
    : QObject(parent),
      m_prompts(prompts),
      m_channel(channel),
      m_parent(parent),
      m_mayShow(std::move(mayShow)) {
    connect(&m_channel, &CommandChannel::WaitsEnded, this,
            [this] { QTimer::singleShot(0, this, &PostedMessages::ShowNext); });
}

void PostedMessages::Post(const QString& text, std::function<void()> closed) {
    Queue({text, false, [closed = std::move(closed)](bool) {
               if (closed)
                   closed();
           }});
}

void PostedMessages::Ask(const QString& question, std::function<void(bool yes)> answered) {
    Queue({question, true, std::move(answered)});
}

void PostedMessages::Queue(Posted posted) {
    const bool queued = std::any_of(m_queued.cbegin(), m_queued.cend(), [&](const Posted& q) {
        return q.text == posted.text && q.question == posted.question;
    });
    if (queued)
        return;
    m_queued.append(std::move(posted));
    QTimer::singleShot(0, this, &PostedMessages::ShowNext);
}

void PostedMessages::ShowNext() {
    // WaitsEnded brings us back once the last waiting Request has returned.
    if (m_showing || m_queued.isEmpty() || m_channel.IsWaiting())
        return;
    if (m_mayShow && !m_mayShow()) {
        if (!m_retryPending) {
            m_retryPending = true;
            QTimer::singleShot(kRetryMs, this, [this] {
                m_retryPending = false;
                ShowNext();
            });
        }
        return;
    }
    m_showing = true;
    // Copied: the box's own event loop may queue more and move the list.
    const QString text = m_queued.constFirst().text;
    bool yes = true;
    if (m_queued.constFirst().question)
        yes = m_prompts.AskYesNo(m_parent, text);
    else
        m_prompts.ShowMessage(m_parent, text);
    const Posted shown = m_queued.takeFirst();
    m_showing = false;
    if (shown.done)
        shown.done(yes);
    if (!m_queued.isEmpty())
        QTimer::singleShot(0, this, &PostedMessages::ShowNext);
}
