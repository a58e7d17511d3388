#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class Prompts;
class QWidget;

// Messages and questions from the pages and the help commands, shown one at a
// time; one already waiting or showing is not queued again (a receiver
// repeating a bad value opens one box, not a pile).
class PostedMessages : public QObject {
    Q_OBJECT

public:
    PostedMessages(Prompts& prompts, QWidget* parent);

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
    void Shown(bool yes);

    Prompts& m_prompts;
    QWidget* m_parent;
    QList<Posted> m_queued;  // the first is showing while m_showing
    bool m_showing = false;
};
