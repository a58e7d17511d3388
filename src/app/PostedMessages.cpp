#include "PostedMessages.h"

#include "CommandChannel.h"
#include "Prompts.h"

#include <QTimer>
#include <QWidget>

PostedMessages::PostedMessages(Prompts& prompts, CommandChannel& channel, QWidget* parent)
    : QObject(parent), m_prompts(prompts), m_channel(channel), m_parent(parent) {
    connect(&m_channel, &CommandChannel::WaitsEnded, this,
            [this] { QTimer::singleShot(0, this, &PostedMessages::ShowNext); });
}

void PostedMessages::Post(const QString& text) {
    if (m_queued.contains(text))
        return;
    m_queued.append(text);
    QTimer::singleShot(0, this, &PostedMessages::ShowNext);
}

void PostedMessages::ShowNext() {
    // WaitsEnded brings us back once the last waiting Request has returned.
    if (m_showing || m_queued.isEmpty() || m_channel.IsWaiting())
        return;
    m_showing = true;
    m_prompts.ShowMessage(m_parent, m_queued.constFirst());
    m_queued.removeFirst();
    m_showing = false;
    if (!m_queued.isEmpty())
        QTimer::singleShot(0, this, &PostedMessages::ShowNext);
}
