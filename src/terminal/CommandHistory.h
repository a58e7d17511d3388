#pragma once

#include <QString>

#include <deque>

// The commands entered since the program started, newest last, for Up and Down
// recall. Walking starts from the draft being typed, which Newer gives back
// after the newest command.
class CommandHistory {
public:
    static constexpr int kCapacity = 100;

    // Empty commands and a repeat of the newest one are not kept.
    void Add(const QString& command);
    // The next older command, or the oldest again at the end of the list.
    // The first step keeps the draft so that Newer can return to it.
    QString Older(const QString& draft);
    // The next newer command, or the kept draft past the newest.
    QString Newer(const QString& draft);
    // Ends a walk, as entering a command does.
    void Reset();

    int Size() const { return static_cast<int>(m_commands.size()); }

private:
    std::deque<QString> m_commands;
    int m_walk = -1;  // index into m_commands while walking, -1 when not
    QString m_draft;
};
