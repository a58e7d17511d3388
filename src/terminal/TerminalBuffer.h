#pragma once

#include "CommandHistory.h"

#include <QString>
#include <QStringList>

#include <deque>

// The text of the terminal: finished lines, oldest first, followed by the live
// line on which the user types after the prompt. It knows nothing of the
// receiver and nothing of how it is shown.
//
// A finished line ends in "\n" when it ended a line; the rows of a command
// wrapped at the characters per line do not. At most 256 entries are kept,
// counting the live line's rows; each new one then drops the oldest.
//
// The typed command is kept whole: it wraps on screen, but Enter hands back
// all of it, and a line that arrives while the user types goes above the live
// line without touching it.
class TerminalBuffer {
public:
    static constexpr int kMaxEntries = 256;
    // Prompt plus typed text; the receiver's own lines are far shorter.
    static constexpr int kMaxLiveLength = 255;
    static constexpr int kMaxPromptLength = 32;
    // A longer arriving line is cut; the serial link delivers at most 99 bytes.
    static constexpr int kMaxLineLength = 1024;
    static constexpr int kDefaultCharactersPerLine = 79;
    static const QStringList& BannerLines();

    TerminalBuffer();

    // Adds a finished line above the live line. Line breaks are dropped and
    // other control characters shown as U+FFFD, so one call is one row.
    void AppendLine(const QString& text);
    void WriteBanner();
    // Finishes the live line with its own text and starts one with the prompt.
    void SetPrompt(const QString& prompt);

    // False when the character is refused: not printable in the receiver's
    // 8-bit character set, or the live line is full.
    bool TypeCharacter(QChar c);
    // Erases the last typed character, then the prompt's characters.
    void Backspace();
    // Finishes the live line and starts one with the prompt. Returns the
    // command as typed, without the prompt, across any wraps.
    QString Enter();
    void RecallOlder();
    void RecallNewer();

    void SetCharactersPerLine(int count);
    int CharactersPerLine() const { return m_charactersPerLine; }

    const QString& Prompt() const { return m_prompt; }
    const QString& Command() const { return m_command; }
    QString LiveText() const { return m_promptShown + m_command; }
    qsizetype LiveLength() const { return m_promptShown.size() + m_command.size(); }
    // The live line as shown, cut at the characters per line.
    QStringList LiveRows() const;
    // LiveRows().size(), worked out without cutting the line: a keystroke
    // asks for it and the live line may be cut into 255 rows.
    qsizetype LiveRowCount() const;
    const std::deque<QString>& FinishedLines() const { return m_finished; }
    // Finished lines then live rows.
    QStringList Entries() const;
    int EntryCount() const;
    // Finished lines ever added, dropped ones included; a view compares it
    // with its own count to find what is new.
    qint64 FinishedTotal() const { return m_finishedTotal; }
    int HistorySize() const { return m_history.Size(); }

private:
    // Moves the live rows into the finished lines, the last with "\n", and
    // starts a live line holding the prompt.
    void CommitLive();
    void AddFinished(QString line);
    void DropOldest();
    void SetCommand(const QString& command);

    QString m_prompt;
    QString m_promptShown;  // what the user left of the prompt on the live line
    QString m_command;
    std::deque<QString> m_finished;
    qint64 m_finishedTotal = 0;
    int m_charactersPerLine = kDefaultCharactersPerLine;
    CommandHistory m_history;
};
