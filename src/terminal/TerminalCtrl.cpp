#include "TerminalCtrl.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

// The "\n" that ends a finished line is the row's end; no glyph is drawn for it.
QString Shown(const QString& entry) {
    return entry.endsWith(QLatin1Char('\n')) ? entry.chopped(1) : entry;
}

bool IsCopyKey(const QKeyEvent* event) {
    return event->matches(QKeySequence::Copy) ||
           event->keyCombination() ==
               QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_C);
}

bool IsPasteKey(const QKeyEvent* event) {
    return event->matches(QKeySequence::Paste) ||
           event->keyCombination() ==
               QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_V);
}

}  // namespace

TerminalCtrl::TerminalCtrl(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("terminal"));
    setReadOnly(true);
    setUndoRedoEnabled(false);
    // Read-only for Qt, so only this class writes; selectable by keyboard so
    // that the caret is drawn.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFocusPolicy(Qt::StrongFocus);
    setTabChangesFocus(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    QFont font(kFontFamily, kFontPoints);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    setFont(font);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, kBackgroundColour);
    colours.setColor(QPalette::Text, kTextColour);
    setPalette(colours);
    // A block caret one character wide.
    setCursorWidth(fontMetrics().horizontalAdvance(QLatin1Char('X')));

    setAccessibleName(QStringLiteral("Terminal"));
    setAccessibleDescription(
        QStringLiteral("The receiver's lines. Type a command after the prompt and press Enter "
                       "to send it; Up and Down recall earlier commands."));

    UpdateCharactersPerLine();
    m_buffer.WriteBanner();
    Sync(false);
}

void TerminalCtrl::AppendLine(const QString& text) {
    m_buffer.AppendLine(text);
    Sync(false);
}

void TerminalCtrl::SetPrompt(const QString& prompt) {
    m_buffer.SetPrompt(prompt);
    Sync(false);
}

void TerminalCtrl::TypeText(const QString& text) {
    bool refused = false;
    for (QChar c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            break;
        refused = !m_buffer.TypeCharacter(c) || refused;
    }
    if (refused)
        QApplication::beep();
    Sync(true);
}

void TerminalCtrl::PressEnter() {
    const QString command = m_buffer.Enter();
    Sync(true);
    emit CommandEntered(command);
}

void TerminalCtrl::keyPressEvent(QKeyEvent* event) {
    if (IsCopyKey(event)) {
        copy();
        event->accept();
        return;
    }
    if (IsPasteKey(event)) {
        TypeText(QApplication::clipboard()->text());
        event->accept();
        return;
    }
    if (HandleEditKey(event)) {
        event->accept();
        return;
    }
    // Page keys scroll, Ctrl+A selects; Escape and the like go on to the window.
    QPlainTextEdit::keyPressEvent(event);
}

bool TerminalCtrl::HandleEditKey(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            PressEnter();
            return true;
        case Qt::Key_Backspace:
            m_buffer.Backspace();
            Sync(true);
            return true;
        case Qt::Key_Up:
            m_buffer.RecallOlder();
            Sync(true);
            return true;
        case Qt::Key_Down:
            m_buffer.RecallNewer();
            Sync(true);
            return true;
        case Qt::Key_Left:
        case Qt::Key_Right:
            // The command is edited at its end only.
            return true;
        default:
            break;
    }
    const Qt::KeyboardModifiers chords = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    const QString text = event->text();
    if ((event->modifiers() & chords) || text.isEmpty() || !text.front().isPrint())
        return false;
    TypeText(text);
    return true;
}

void TerminalCtrl::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    UpdateCharactersPerLine();
}

void TerminalCtrl::showEvent(QShowEvent* event) {
    QPlainTextEdit::showEvent(event);
    UpdateCharactersPerLine();
}

void TerminalCtrl::UpdateCharactersPerLine() {
    // A hidden view has no width of its own yet.
    if (!isVisible())
        return;
    const int charWidth = std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('X')));
    const int margins = 2 * static_cast<int>(document()->documentMargin());
    // One column stays free for the caret.
    const int count = (viewport()->width() - margins) / charWidth - 1;
    if (count == m_buffer.CharactersPerLine() || count < 1)
        return;
    m_buffer.SetCharactersPerLine(count);
    Sync(false);
}

void TerminalCtrl::Sync(bool byUser) {
    QScrollBar* bar = verticalScrollBar();
    const int oldPosition = bar->value();
    const bool follow = byUser || oldPosition >= bar->maximum();

    const std::deque<QString>& finished = m_buffer.FinishedLines();
    const auto finishedCount = static_cast<qint64>(finished.size());
    const qint64 fresh = std::min(m_buffer.FinishedTotal() - m_shownTotal, finishedCount);
    QStringList tail;
    for (qint64 i = finishedCount - fresh; i < finishedCount; ++i)
        tail << Shown(finished[static_cast<size_t>(i)]);
    const QStringList live = m_buffer.LiveRows();
    tail << live;

    QTextDocument* doc = document();
    QTextCursor edit(doc);
    edit.beginEditBlock();
    edit.setPosition(doc->findBlockByNumber(doc->blockCount() - m_shownLiveRows).position());
    edit.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    edit.insertText(tail.join(QLatin1Char('\n')));
    const int dropped = doc->blockCount() - static_cast<int>(finishedCount + live.size());
    if (dropped > 0) {
        edit.setPosition(0);
        edit.setPosition(doc->findBlockByNumber(dropped).position(), QTextCursor::KeepAnchor);
        edit.removeSelectedText();
    }
    edit.endEditBlock();
    m_shownTotal = m_buffer.FinishedTotal();
    m_shownLiveRows = static_cast<int>(live.size());

    if (byUser || !textCursor().hasSelection()) {
        QTextCursor end(doc);
        end.movePosition(QTextCursor::End);
        setTextCursor(end);
    }
    bar->setValue(follow ? bar->maximum() : std::max(0, oldPosition - std::max(0, dropped)));
}
