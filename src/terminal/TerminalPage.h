#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <functional>

class TerminalCtrl;

// The "Terminal" tab: the user talks to the receiver in its raw line protocol.
// A command typed after the prompt goes out framed by carriage returns; every
// line the window hands to EchoLine is shown. The page keeps no lines of its
// own: what arrives while another tab is current is not shown later.
class TerminalPage : public QWidget {
    Q_OBJECT

public:
    static inline const QString kTitle = QStringLiteral("Terminal");
    static inline const QString kPrompt = QStringLiteral("> ");
    static inline const QString kNotSent =
        QStringLiteral("(not sent: the receiver's port is not open)");

    // CommandChannel::SendLine, which frames the typed line; unset, Enter only
    // finishes the line on screen.
    using SendHook = std::function<bool(const QByteArray& line)>;

    explicit TerminalPage(QWidget* parent = nullptr);
    void SetSendHook(SendHook hook) { m_send = std::move(hook); }

    // A whole received line, as received.
    void EchoLine(const QByteArray& line);
    TerminalCtrl* Control() const { return m_terminal; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnCommandEntered(const QString& command);

    TerminalCtrl* m_terminal = nullptr;
    SendHook m_send;
};
