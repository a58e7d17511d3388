#pragma once

#include "ConnectionRow.h"
#include "PageBinding.h"
#include "ReceiverSession.h"

#include <QDialog>

#include <memory>

class AvPresetPage;
class CompareCommands;
class ControlPage;
class FileCommands;
class HelpCommands;
class PostedMessages;
class ProgressWindow;
class Prompts;
class QAction;
class QComboBox;
class QMenuBar;
class QPushButton;
class QTabWidget;
class TerminalPage;
class TunerPage;

// The console's one window: the connection row, the menu and the tab pages.
// It owns one ReceiverSession and shows it; the work itself lives in the
// session, FileCommands and PageBinding.
class MainDialog : public QDialog, private ReceiverSession::Viewer {
    Q_OBJECT

public:
    static inline const QString kTitle = QStringLiteral("Velmar AVR Ampdesk");
    static inline const QString kNotConnectedAtStart = QStringLiteral("Not Connected to a Unit");
    static inline const QString kConnectWarning = QStringLiteral(
        "Warning: Connecting imports settings and overwrites any unsaved changes, continue?");
    static inline const QString kBusyMessage =
        QStringLiteral("Please wait until the receiver settings have been read or restored.");

    explicit MainDialog(Prompts& prompts, QWidget* parent = nullptr);
    ~MainDialog() override;

    void OnConnect();
    void OnViewChanged(int index);
    void SaveSettings();
    void LoadSettings();
    void CompareWithReceiver();
    void ShowSnapshots();
    // Adds the Terminal tab at the end, or removes it.
    void OnToggleTerminal(bool show);
    void CheckForUpgrade();
    void ShowHelp();

    // Also clears the reason line below the status field.
    void SetStatus(const QString& text) { m_row->SetStatus(text); }
    QString StatusText() const { return m_row->StatusText(); }
    // Why the status is what it is ("Another program holds /dev/ttyUSB0"): the
    // line below the status field and the field's tooltip.
    void SetStatusReason(const QString& reason) { m_row->SetStatusReason(reason); }
    QString StatusReason() const { return m_row->StatusReason(); }
    // Where the Com Port list and Auto-Detect look for serial adapters.
    void SetDeviceFolders(const DeviceFolders& folders);
    QString CurrentTabTitle() const;
    // False when no tab has that title.
    bool SelectTab(const QString& title);

    ReceiverSession& Session() { return m_session; }
    SettingsStore& Store() { return m_session.Store(); }
    SessionState& State() { return m_session.State(); }
    SerialPort& Port() { return m_session.Port(); }
    CommandChannel& Channel() { return m_session.Channel(); }
    PageBinding& Binding() { return m_binding; }
    StatusLineHandler& StatusLines() { return m_session.StatusLines(); }
    ControlPage* GetControlPage() const { return m_controlPage; }
    AvPresetPage* GetAvPresetPage() const { return m_avPresetPage; }
    TunerPage* GetTunerPage() const { return m_tunerPage; }
    ProgressWindow* GetProgressWindow() const { return m_progress; }
    TerminalPage* GetTerminalPage() const { return m_terminalPage; }
    HelpCommands& Help() { return *m_help; }
    CompareCommands& Compare() { return *m_compareCommands; }
    QComboBox* PortCombo() const { return m_row->PortCombo(); }
    QComboBox* ViewCombo() const { return m_row->ViewCombo(); }
    QPushButton* ConnectButton() const { return m_row->ConnectButton(); }
    QTabWidget* Tabs() const { return m_tabs; }
    QMenuBar* MenuBar() const { return m_menuBar; }

public slots:
    void reject() override;

private:
    void BuildMenu();
    void ConnectSession();
    void StartConnect(const QString& portName);
    void OnAttemptEnded();
    // The keep-alive stays off the line while the Terminal tab (or no tab) shows.
    bool KeepsAlive() const override;
    bool PollsTuner() const override;
    // True when no bulk read, restore or connection attempt is using the store,
    // so that it may be refilled or saved; otherwise tells the user why not.
    bool StoreIsFree();
    // Takes the busy notice off the status line once the operation it waited for is over.
    void ClearBusyNotice();
    void ShowAbout();

    Prompts& m_prompts;
    ReceiverSession m_session;
    PageBinding m_binding;

    QMenuBar* m_menuBar = nullptr;
    ConnectionRow* m_row = nullptr;
    QTabWidget* m_tabs = nullptr;
    ControlPage* m_controlPage = nullptr;
    AvPresetPage* m_avPresetPage = nullptr;
    TunerPage* m_tunerPage = nullptr;
    ProgressWindow* m_progress = nullptr;
    TerminalPage* m_terminalPage = nullptr;  // kept while its tab is closed, for its history
    QAction* m_terminalItem = nullptr;

    FileCommands* m_fileCommands = nullptr;
    CompareCommands* m_compareCommands = nullptr;
    bool m_connectHadFocus = false;
    const QWidget* m_focusPassedTo = nullptr;
    HelpCommands* m_help = nullptr;
    PostedMessages* m_messages = nullptr;
};
