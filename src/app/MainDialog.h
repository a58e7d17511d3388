#pragma once

#include "CommandChannel.h"
#include "PageBinding.h"
#include "SerialAdapters.h"
#include "SerialPort.h"
#include "SessionState.h"
#include "SettingsStore.h"
#include "StatusLines.h"

#include <QDialog>

#include <memory>

class AvPresetPage;
class Connection;
class ControlPage;
class FileCommands;
class HelpCommands;
class PostedMessages;
class ProgressWindow;
class Prompts;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QTabWidget;
class TerminalPage;
class TunerPage;

// The console's one window: the connection row, the menu and the tab pages.
// It owns the port, the channel, the store and the pages, and wires them
// together; the work itself lives in Connection, StatusLineHandler,
// FileCommands and PageBinding.
class MainDialog : public QDialog {
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
    void OnPortChanged(int index);
    void OnTabChanged(int index);
    void SaveSettings();
    void LoadSettings();
    // Adds the Terminal tab at the end, or removes it.
    void OnToggleTerminal(bool show);
    void CheckForUpgrade();
    void ShowHelp();

    // Also clears the reason line below the status field.
    void SetStatus(const QString& text);
    QString StatusText() const;
    // Why the status is what it is ("Another program holds /dev/ttyUSB0"): the
    // line below the status field and the field's tooltip.
    void SetStatusReason(const QString& reason);
    QString StatusReason() const;
    // Where the Com Port list and Auto-Detect look for serial adapters.
    void SetDeviceFolders(const DeviceFolders& folders);
    QString CurrentTabTitle() const;
    // False when no tab has that title.
    bool SelectTab(const QString& title);

    SettingsStore& Store() { return m_store; }
    SessionState& State() { return m_state; }
    SerialPort& Port() { return m_port; }
    CommandChannel& Channel() { return m_channel; }
    PageBinding& Binding() { return m_binding; }
    StatusLineHandler& StatusLines() { return m_statusLines; }
    Connection& GetConnection() { return *m_connection; }
    ControlPage* GetControlPage() const { return m_controlPage; }
    AvPresetPage* GetAvPresetPage() const { return m_avPresetPage; }
    TunerPage* GetTunerPage() const { return m_tunerPage; }
    ProgressWindow* GetProgressWindow() const { return m_progress; }
    TerminalPage* GetTerminalPage() const { return m_terminalPage; }
    HelpCommands& Help() { return *m_help; }
    QComboBox* PortCombo() const { return m_portCombo; }
    QComboBox* ViewCombo() const { return m_viewCombo; }
    QPushButton* ConnectButton() const { return m_connectButton; }
    QTabWidget* Tabs() const { return m_tabs; }
    QMenuBar* MenuBar() const { return m_menuBar; }

public slots:
    void reject() override;

private:
    void BuildMenu();
    void BuildConnectionRow();
    void BuildTabs();
    void PreselectPort();
    void FillAdapterChoices();
    void FitToPages();
    // True when no bulk read, restore or connection attempt is using the store,
    // so that it may be refilled or saved; otherwise tells the user why not.
    bool StoreIsFree();
    // Takes the busy notice off the status line once the operation it waited for is over.
    void ClearBusyNotice();
    static bool TakesTabFocus(const QWidget* widget, const QWidget* page);
    void ShowAbout();

    Prompts& m_prompts;
    SessionState m_state;
    SettingsStore m_store;
    SerialPort m_port;
    CommandChannel m_channel;
    PageBinding m_binding;
    StatusLineHandler m_statusLines;

    QMenuBar* m_menuBar = nullptr;
    QLineEdit* m_status = nullptr;
    QLabel* m_statusReason = nullptr;
    DeviceFolders m_deviceFolders;
    QComboBox* m_viewCombo = nullptr;
    QComboBox* m_portCombo = nullptr;
    QPushButton* m_connectButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    QTabWidget* m_tabs = nullptr;
    ControlPage* m_controlPage = nullptr;
    AvPresetPage* m_avPresetPage = nullptr;
    TunerPage* m_tunerPage = nullptr;
    ProgressWindow* m_progress = nullptr;
    TerminalPage* m_terminalPage = nullptr;  // kept while its tab is closed, for its history
    QAction* m_terminalItem = nullptr;
    bool m_portTextCommitting = false;

    std::unique_ptr<Connection> m_connection;
    std::unique_ptr<FileCommands> m_fileCommands;
    HelpCommands* m_help = nullptr;
    PostedMessages* m_messages = nullptr;
};
