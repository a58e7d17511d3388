#pragma once

#include "ConnectionRow.h"
#include "PageBinding.h"
#include "Prompts.h"
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
class QAction;
class QComboBox;
class QKeyEvent;
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
    // Asked by Close and Exit while an operation runs.
    static inline const QString kStopConnectingToClose = QStringLiteral(
        "Ampdesk is still connecting to the receiver and reading its settings.\n"
        "Stop and close Ampdesk?");
    static inline const QString kStopRestoreToClose = QStringLiteral(
        "Ampdesk is still sending settings to the receiver; those not sent yet "
        "will not reach it.\nStop the restore and close Ampdesk?");

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
    PageBinding& Binding() { return m_binding; }
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
    QPushButton* CloseButton() const { return m_row->CloseButton(); }
    QTabWidget* Tabs() const { return m_tabs; }
    QMenuBar* MenuBar() const { return m_menuBar; }

public slots:
    // Close, Exit and the window manager's close. While a connection attempt,
    // read or restore runs it asks first, and stops it before closing.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Closing { No, Asking, Stopping };
    // A connection attempt, read or restore runs, or the Progress window shows.
    bool OperationRuns() const;
    // Once the stopped operation has ended and its report is closed.
    void CloseWhenStopped();
    void CloseNow();

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

    TrackedPrompts m_prompts;
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
    Closing m_closing = Closing::No;
};
