#include "TerminalBuffer.h"

#include "Windows1252.h"

#include <algorithm>
#include <utility>
#include <vector>

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
    // Written in place: every line from the receiver passes here.
    QString shown(std::min<qsizetype>(text.size(), kMaxLineLength) + 1, Qt::Uninitialized);
    QChar* out = shown.data();
    const QChar* const full = out + shown.size() - 1;
    for (QChar c : text) {
        if (out == full)
            break;
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            continue;
        *out++ = c.isPrint() ? c : kReplacement;
    }
    *out++ = QLatin1Char('\n');
    shown.truncate(out - shown.constData());
    AddFinished(std::move(shown));
    DropOldest();
}

void TerminalBuffer::WriteBanner() {
    // The banner is our own printable text, so its finished lines are made
    // once and shared by every copy of it.
    static const std::vector<QString> kFinished = [] {
        std::vector<QString> finished;
        for (const QString& line : BannerLines())
            finished.push_back(line + QLatin1Char('\n'));
        return finished;
    }();
    for (const QString& line : kFinished)
        AddFinished(line);
    DropOldest();
}

void TerminalBuffer::SetPrompt(const QString& prompt) {
    m_prompt = prompt.left(kMaxPromptLength);
    CommitLive();
}

bool TerminalBuffer::TypeCharacter(QChar c) {
    if (!IsTypeable(c) || LiveLength() >= kMaxLiveLength)
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
    rows.reserve(LiveRowCount());
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

qsizetype TerminalBuffer::LiveRowCount() const {
    return std::max<qsizetype>(1, (LiveLength() + m_charactersPerLine - 1) / m_charactersPerLine);
}

int TerminalBuffer::EntryCount() const {
    return static_cast<int>(m_finished.size()) + static_cast<int>(LiveRowCount());
}

void TerminalBuffer::CommitLive() {
    QStringList rows = LiveRows();
    rows.last() += QLatin1Char('\n');
    for (QString& row : rows)
        AddFinished(std::move(row));
    m_promptShown = m_prompt;
    m_command.clear();
    m_history.Reset();
    DropOldest();
}

void TerminalBuffer::AddFinished(QString line) {
    m_finished.push_back(std::move(line));
    ++m_finishedTotal;
}

void TerminalBuffer::DropOldest() {
    // The live line never exceeds 255 characters, so at least one finished
    // line always fits beside its rows.
    const qsizetype liveRows = LiveRowCount();
    while (!m_finished.empty() &&
           static_cast<qsizetype>(m_finished.size()) + liveRows > kMaxEntries)
        m_finished.pop_front();
}

void TerminalBuffer::SetCommand(const QString& command) {
    m_command = command.left(std::max<qsizetype>(0, kMaxLiveLength - m_promptShown.size()));
    // A recalled command may wrap onto more rows than the one it replaces.
    DropOldest();
}
