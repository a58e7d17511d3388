#include "PostedMessages.h"

#include "Prompts.h"

#include <QPointer>
#include <QWidget>

#include <algorithm>

PostedMessages::PostedMessages(Prompts& prompts, QWidget* parent)
    : QObject(parent), m_prompts(prompts), m_parent(parent) {}

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
    ShowNext();
}

void PostedMessages::ShowNext() {
    if (m_showing || m_queued.isEmpty())
        return;
    m_showing = true;
    // Copied: an answer given at once moves the list on.
    const QString text = m_queued.constFirst().text;
    const bool question = m_queued.constFirst().question;
    QPointer<PostedMessages> alive(this);
    const auto shown = [this, alive](bool yes) {
        if (alive)
            Shown(yes);
    };
    if (question)
        m_prompts.AskYesNo(m_parent, text, shown);
    else
        m_prompts.ShowMessage(m_parent, text, [shown] { shown(true); });
}

void PostedMessages::Shown(bool yes) {
    const Posted shown = m_queued.takeFirst();
    m_showing = false;
    if (shown.done)
        shown.done(yes);
    ShowNext();
}
