#pragma once

#include "TerminalBuffer.h"

#include <QColor>
#include <QPlainTextEdit>

// The terminal window: shows a TerminalBuffer in a read-only plain-text view,
// so that scrolling, mouse selection, copying and the accessibility text
// interface are Qt's own, and forwards the keys a user types to the buffer.
// Enter raises CommandEntered with the command as typed.
class TerminalCtrl : public QPlainTextEdit {
    Q_OBJECT

public:
    static inline const QString kFontFamily = QStringLiteral("Liberation Mono");
    static constexpr int kFontPoints = 10;
    // Green on white, dark enough to read (contrast above 5:1).
    static inline const QColor kTextColour{0, 128, 0};
    static inline const QColor kBackgroundColour{255, 255, 255};

    explicit TerminalCtrl(QWidget* parent = nullptr);

    const TerminalBuffer& Buffer() const { return m_buffer; }
    void AppendLine(const QString& text);
    void SetPrompt(const QString& prompt);
    // What typing the text does, character by character; stops at a line break.
    void TypeText(const QString& text);
    void PressEnter();

signals:
    void CommandEntered(const QString& command);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Brings the document up to the buffer: replaces the live rows, adds the
    // new finished lines and drops those the buffer dropped, leaving a mouse
    // selection in place. The view follows the end after the user's own keys,
    // or when it showed the end before.
    void Sync(bool byUser);
    void UpdateCharactersPerLine();
    bool HandleEditKey(QKeyEvent* event);

    TerminalBuffer m_buffer;
    qint64 m_shownTotal = 0;
    int m_shownLiveRows = 1;  // an empty document has one block: the empty live line
};
