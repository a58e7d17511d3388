#include "CommandHistory.h"

void CommandHistory::Add(const QString& command) {
    Reset();
    if (command.isEmpty() || (!m_commands.empty() && m_commands.back() == command))
        return;
    m_commands.push_back(command);
    if (static_cast<int>(m_commands.size()) > kCapacity)
        m_commands.pop_front();
}

QString CommandHistory::Older(const QString& draft) {
    if (m_commands.empty())
        return draft;
    if (m_walk < 0) {
        m_draft = draft;
        m_walk = static_cast<int>(m_commands.size());
    }
    if (m_walk > 0)
        --m_walk;
    return m_commands[static_cast<size_t>(m_walk)];
}

QString CommandHistory::Newer(const QString& draft) {
    if (m_walk < 0)
        return draft;
    ++m_walk;
    if (m_walk >= static_cast<int>(m_commands.size())) {
        m_walk = -1;
        return m_draft;
    }
    return m_commands[static_cast<size_t>(m_walk)];
}

void CommandHistory::Reset() {
    m_walk = -1;
    m_draft.clear();
}
