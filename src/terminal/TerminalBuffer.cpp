#include "TerminalBuffer.h"

#include "Windows1252.h"

#include <algorithm>

namespace {

constexpr QChar kReplacement(0xFFFD);

// Characters the receiver's 8-bit set can carry and a user can see.
bool IsTypeable(QChar c) {
    return IsWindows1252Printable(c);
}

}  // namespace

const QStringList& TerminalBuffer::BannerLines() {
    static const QStringList kBanner = {
        QStringLiteral("Velmar Audio"),
        QStringLiteral("Ampdesk receiver terminal"),
        QString(),
        QStringLiteral("Syntax: <parameter> . <variable> <operator> <value>"),
        QString(),
        QStringLiteral("ie. Main?"),
        QString(),
    };
    return kBanner;
}

TerminalBuffer::TerminalBuffer() = default;

void TerminalBuffer::AppendLine(const QString& text) {
    QString shown;
    shown.reserve(std::min<qsizetype>(text.size(), kMaxLineLength) + 1);
    for (QChar c : text) {
        if (shown.size() >= kMaxLineLength)
            break;
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            continue;
        shown += c.isPrint() ? c : kReplacement;
    }
    AddFinished(shown + QLatin1Char('\n'));
    DropOldest();
}

void TerminalBuffer::WriteBanner() {
    for (const QString& line : BannerLines())
        AppendLine(line);
}

void TerminalBuffer::SetPrompt(const QString& prompt) {
    m_prompt = prompt.left(kMaxPromptLength);
    CommitLive();
}

bool TerminalBuffer::TypeCharacter(QChar c) {
    if (!IsTypeable(c) || LiveText().size() >= kMaxLiveLength)
        return false;
    m_command += c;
    DropOldest();
    return true;
}

void TerminalBuffer::Backspace() {
    if (!m_command.isEmpty())
        m_command.chop(1);
    else if (!m_promptShown.isEmpty())
        m_promptShown.chop(1);
}

QString TerminalBuffer::Enter() {
    const QString command = m_command;
    m_history.Add(command);
    CommitLive();
    return command;
}

void TerminalBuffer::RecallOlder() {
    SetCommand(m_history.Older(m_command));
}

void TerminalBuffer::RecallNewer() {
    SetCommand(m_history.Newer(m_command));
}

void TerminalBuffer::SetCharactersPerLine(int count) {
    m_charactersPerLine = std::max(1, count);
    DropOldest();
}

QStringList TerminalBuffer::LiveRows() const {
    const QString live = LiveText();
    QStringList rows;
    for (qsizetype at = 0; at < live.size(); at += m_charactersPerLine)
        rows << live.mid(at, m_charactersPerLine);
    if (rows.isEmpty())
        rows << QString();
    return rows;
}

QStringList TerminalBuffer::Entries() const {
    QStringList entries(m_finished.begin(), m_finished.end());
    entries << LiveRows();
    return entries;
}

int TerminalBuffer::EntryCount() const {
    return static_cast<int>(m_finished.size()) + static_cast<int>(LiveRows().size());
}

void TerminalBuffer::CommitLive() {
    QStringList rows = LiveRows();
    rows.last() += QLatin1Char('\n');
    for (const QString& row : rows)
        AddFinished(row);
    m_promptShown = m_prompt;
    m_command.clear();
    m_history.Reset();
    DropOldest();
}

void TerminalBuffer::AddFinished(const QString& line) {
    m_finished.push_back(line);
    ++m_finishedTotal;
}

void TerminalBuffer::DropOldest() {
    // The live line never exceeds 255 characters, so at least one finished
    // line always fits beside its rows.
    const qsizetype liveRows = LiveRows().size();
    while (!m_finished.empty() &&
           static_cast<qsizetype>(m_finished.size()) + liveRows > kMaxEntries)
        m_finished.pop_front();
}

void TerminalBuffer::SetCommand(const QString& command) {
    m_command = command.left(std::max<qsizetype>(0, kMaxLiveLength - m_promptShown.size()));
    // A recalled command may wrap onto more rows than the one it replaces.
    DropOldest();
}
