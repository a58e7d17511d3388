#include "MainDialog.h"

#include "AmpdeskVersion.h"
#include "CompareCommands.h"
#include "ControlPage.h"
#include "FileCommands.h"
#include "HelpCommands.h"
#include "PageTabs.h"
#include "PostedMessages.h"
#include "Profile.h"
#include "ProgramIcon.h"
#include "ProgressWindow.h"
#include "TerminalPage.h"
#include "TunerPage.h"
#include "WheelGuard.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

MainDialog::MainDialog(Prompts& prompts, QWidget* parent)
    : QDialog(parent),
      m_prompts(prompts),
      m_binding(m_session.Store(), m_session.State(),
                PageBinding::Hooks{[this](const QByteArray& key, const QByteArray& value) {
                    return m_session.UpdateSetting(key, value);
                }}) {
    setWindowTitle(kTitle);
    setWindowIcon(ProgramIcon());
    // The console's one window: minimised, maximised and closed as a main window is.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    m_progress = new ProgressWindow(this);
    m_messages = new PostedMessages(m_prompts, this);

    auto* layout = new QVBoxLayout(this);
    BuildMenu();
    layout->setMenuBar(m_menuBar);
    m_row = new ConnectionRow(this);
    layout->addLayout(m_row->Layout());
    connect(m_row->ConnectButton(), &QPushButton::clicked, this, &MainDialog::OnConnect);
    connect(m_row->CloseButton(), &QPushButton::clicked, this, &MainDialog::reject);
    const PageTabs pages = BuildPageTabs(m_binding, this);
    m_tabs = pages.tabs;
    m_controlPage = pages.control;
    m_avPresetPage = pages.avPreset;
    m_tunerPage = pages.tuner;
    layout->addWidget(m_tabs, 1);
    // The pages scroll: rolling the wheel over them must not rewrite the receiver.
    new WheelGuard(m_tabs);

    m_session.SetPortsFolder(Profile::PortsFolder());
    if (const std::optional<int> depth = Profile::ReadPipelineDepth())
        m_session.SetPipelineDepth(*depth);
    m_session.SetProgressSink(m_progress);
    m_session.SetViewer(this);
    ConnectSession();
    m_fileCommands = new FileCommands(m_session, m_prompts, this,
                                      FileCommands::Hooks{[this] { return StoreIsFree(); }});
    // Keeps a snapshot after each connection's read; a problem goes on the reason line.
    m_compareCommands = new CompareCommands(
        m_session, m_binding, m_prompts, this,
        CompareCommands::Hooks{[this](const QString& reason) { SetStatusReason(reason); }});
    m_help = new HelpCommands(*m_messages, this,
                              HelpCommands::Hooks{
                                  [] { return Profile::ReadUpgradeHost(); },
                              },
                              kVersionMajor, kVersionMinor);

    m_controlPage->SetHooks(ControlPage::Hooks{
        [this](const QByteArray& key, bool up) { return m_session.Step(key, up); },
        [this](bool enabled) {
            enabled ? m_tunerPage->EnableControls() : m_tunerPage->DisableControls();
        },
        [this](const QString& message) { m_messages->Post(message); },
    });
    m_tunerPage->SetHooks(TunerHooks{
        [this](const QByteArray& line) { return m_session.SendLine(line); },
        [this](const QByteArray& key) { return Store().GetValue(key); },
        [this](const QString& message, std::function<void()> closed) {
            m_messages->Post(message, std::move(closed));
        },
    });

    m_row->PreselectPort();
    State() = SessionState{};
    m_row->ViewCombo()->setCurrentIndex(0);
    Store().ResetToDefaults();
    m_binding.FillChoices();
    m_binding.RefreshAllPages();
    SetStatus(kNotConnectedAtStart);

    // Wired only now: choices made while the window opens are not the user's.
    connect(m_row->ViewCombo(), &QComboBox::currentIndexChanged, this, &MainDialog::OnViewChanged);
    m_row->RememberChosenPorts();
    connect(m_tabs, &QTabWidget::currentChanged, this,
            [this](int index) { FocusChosenPage(m_tabs, index); });
    resize(SizeForPages(m_tabs, sizeHint() - m_tabs->sizeHint()));
    // Enter connects from the start; the Status field only shows.
    m_row->ConnectButton()->setFocus();
}

void MainDialog::ConnectSession() {
    connect(&m_session, &ReceiverSession::StatusChanged, this, &MainDialog::SetStatus);
    connect(&m_session, &ReceiverSession::StatusReasonChanged, this, &MainDialog::SetStatusReason);
    connect(&m_session, &ReceiverSession::KeyChanged, this,
            [this](const QByteArray& key) { m_binding.RefreshKey(key); });
    connect(&m_session, &ReceiverSession::StoreReloaded, this,
            [this] { m_binding.RefreshAllPages(); });
    connect(&m_session, &ReceiverSession::TunerLine, m_tunerPage, &TunerPage::OnTunerStatus);
    connect(&m_session, &ReceiverSession::AttemptEnded, this, &MainDialog::OnAttemptEnded);
    connect(&m_session, &ReceiverSession::RestoreEnded, this, &MainDialog::ClearBusyNotice);
    connect(m_progress, &ProgressWindow::CancelRequested, &m_session, &ReceiverSession::Cancel);
    // One hop later, so that whoever reports the operation's end has opened
    // the report before the window waits for it to be closed.
    const auto closeWhenStopped = [this] {
        QMetaObject::invokeMethod(this, &MainDialog::CloseWhenStopped, Qt::QueuedConnection);
    };
    connect(&m_session, &ReceiverSession::AttemptEnded, this, closeWhenStopped);
    connect(&m_session, &ReceiverSession::RestoreEnded, this, closeWhenStopped);
}

MainDialog::~MainDialog() {
    // Nothing the session says from now on may reach half-destroyed pages:
    // a running operation ends below, and says so.
    m_session.SetViewer(nullptr);
    m_session.SetProgressSink(nullptr);
    m_session.disconnect();
    // The editor may still be shown; hiding it as the window goes must not
    // reach the store, which is gone before the pages.
    m_tunerPage->SetHooks({});
    m_session.Close();
    // Destroying the children moves focus and tabs about; their signals must
    // not reach this half-destroyed window.
    QComboBox* ports = m_row->PortCombo();
    for (QObject* sender :
         std::initializer_list<QObject*>{m_tabs, m_row->ViewCombo(), ports, ports->lineEdit()}) {
        sender->disconnect(this);
    }
}

bool MainDialog::KeepsAlive() const {
    const QString tab = CurrentTabTitle();
    return !tab.isEmpty() && tab.compare(TerminalPage::kTitle, Qt::CaseInsensitive) != 0;
}

bool MainDialog::PollsTuner() const {
    return CurrentTabTitle().compare(QStringLiteral("Tuner"), Qt::CaseInsensitive) == 0 &&
           m_controlPage->IsTunerSelected();
}

void MainDialog::BuildMenu() {
    m_menuBar = new QMenuBar(this);
    // Alt+V belongs to the "View:" combo, so the View menu answers to Alt+W.
    QMenu* file = m_menuBar->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Save Settings"), this, &MainDialog::SaveSettings);
    file->addAction(QStringLiteral("&Load Settings"), this, &MainDialog::LoadSettings);
    file->addSeparator();
    file->addAction(QStringLiteral("&Compare with Receiver..."), this,
                    &MainDialog::CompareWithReceiver);
    file->addAction(QStringLiteral("Sna&pshots..."), this, &MainDialog::ShowSnapshots);
    file->addSeparator();
    file->addAction(QStringLiteral("E&xit"), this, &MainDialog::reject);

    QMenu* view = m_menuBar->addMenu(QStringLiteral("Vie&w"));
    m_terminalItem = view->addAction(QStringLiteral("&Terminal"));
    m_terminalItem->setCheckable(true);
    connect(m_terminalItem, &QAction::toggled, this, &MainDialog::OnToggleTerminal);

    QMenu* help = m_menuBar->addMenu(QStringLiteral("&Help"));
    QAction* contents = help->addAction(QStringLiteral("&Contents"), this, &MainDialog::ShowHelp);
    contents->setShortcut(QKeySequence::HelpContents);
    help->addSeparator();
    help->addAction(QStringLiteral("Check for &upgrade"), this, &MainDialog::CheckForUpgrade);
    help->addSeparator();
    help->addAction(QStringLiteral("&About"), this, &MainDialog::ShowAbout);
}

void MainDialog::OnConnect() {
    if (!StoreIsFree())
        return;
    const QString portName = m_row->PortCombo()->currentText();
    m_prompts.AskYesNo(this, kConnectWarning, [this, portName](bool yes) {
        // Something may have begun while the question was open.
        if (yes && StoreIsFree())
            StartConnect(portName);
    });
}

void MainDialog::StartConnect(const QString& portName) {
    QPushButton* button = m_row->ConnectButton();
    // The window's own focus widget: the Progress window takes the keyboard meanwhile.
    m_connectHadFocus = focusWidget() == button;
    button->setEnabled(false);
    // Disabling the button passed its focus on; it comes back unless the user moved it meanwhile.
    m_focusPassedTo = focusWidget();
    // The session says AttemptEnded.
    (void)m_session.ConnectTo(portName);
}

void MainDialog::OnAttemptEnded() {
    ClearBusyNotice();
    QPushButton* button = m_row->ConnectButton();
    button->setEnabled(true);
    if (m_connectHadFocus && focusWidget() == m_focusPassedTo)
        button->setFocus();
    m_connectHadFocus = false;
    m_focusPassedTo = nullptr;
}

void MainDialog::OnViewChanged(int index) {
    State().viewIndex = index;
    m_binding.RefreshView();
}

void MainDialog::SetDeviceFolders(const DeviceFolders& folders) {
    m_session.SetDeviceFolders(folders);
    m_row->SetDeviceFolders(folders);
}

void MainDialog::SaveSettings() {
    m_fileCommands->SaveSettings();
}

void MainDialog::LoadSettings() {
    m_fileCommands->LoadSettings();
}

void MainDialog::CompareWithReceiver() {
    m_compareCommands->CompareWithReceiver();
}

void MainDialog::ShowSnapshots() {
    m_compareCommands->ShowSnapshots();
}

void MainDialog::OnToggleTerminal(bool show) {
    {
        const QSignalBlocker quiet(m_terminalItem);
        m_terminalItem->setChecked(show);
    }
    const bool shown = m_terminalPage && m_tabs->indexOf(m_terminalPage) >= 0;
    if (show == shown)
        return;
    if (!show) {
        for (int i = m_tabs->count() - 1; i >= 0; --i) {
            if (m_tabs->tabText(i) == TerminalPage::kTitle)
                m_tabs->removeTab(i);
        }
        return;
    }
    if (!m_terminalPage) {
        m_terminalPage = new TerminalPage(this);
        m_terminalPage->SetSendHook(
            [this](const QByteArray& line) { return m_session.SendLine(line); });
        // Received lines are shown while the Terminal tab is the current one.
        connect(&m_session, &ReceiverSession::LineReceived, this, [this](const QByteArray& line) {
            if (CurrentTabTitle().compare(TerminalPage::kTitle, Qt::CaseInsensitive) == 0)
                m_terminalPage->EchoLine(line);
        });
    }
    m_tabs->addTab(m_terminalPage, TerminalPage::kTitle);
}

void MainDialog::CheckForUpgrade() {
    m_help->CheckForUpgrade();
}

void MainDialog::ShowHelp() {
    m_help->ShowHelp(QCoreApplication::applicationDirPath());
}

bool MainDialog::StoreIsFree() {
    if (!m_session.IsBusy())
        return true;
    // Said at once: a message box would have to wait until the read or restore
    // no longer does, and the command would seem to do nothing meanwhile.
    SetStatusReason(kBusyMessage);
    return false;
}

void MainDialog::ClearBusyNotice() {
    // A refused command returns here too while the operation still runs.
    if (StatusReason() == kBusyMessage && !m_session.IsBusy())
        SetStatusReason(QString());
}

QString MainDialog::CurrentTabTitle() const {
    const int index = m_tabs->currentIndex();
    return index < 0 ? QString() : m_tabs->tabText(index);
}

bool MainDialog::SelectTab(const QString& title) {
    for (int i = 0; i < m_tabs->count(); ++i) {
        if (m_tabs->tabText(i) == title) {
            m_tabs->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

bool MainDialog::OperationRuns() const {
    return m_session.IsBusy() || m_session.IsAttempting() || m_progress->IsRunning();
}

void MainDialog::reject() {
    if (m_closing != Closing::No)
        return;
    if (!OperationRuns()) {
        CloseNow();
        return;
    }
    m_closing = Closing::Asking;
    const QString question =
        m_session.IsAttempting() ? kStopConnectingToClose : kStopRestoreToClose;
    m_prompts.AskYesNo(this, question, [this](bool yes) {
        if (!yes) {
            m_closing = Closing::No;
            return;
        }
        m_closing = Closing::Stopping;
        // Further files chosen with the one being restored stay unsent.
        m_fileCommands->DropQueuedFiles();
        m_session.Cancel();
        CloseWhenStopped();
    });
}

void MainDialog::CloseWhenStopped() {
    if (m_closing != Closing::Stopping || OperationRuns())
        return;
    m_prompts.AfterMessagesClosed([this] {
        if (m_closing == Closing::Stopping)
            CloseNow();
    });
}

void MainDialog::CloseNow() {
    m_closing = Closing::No;
    // Ends the connection; nothing is running by now.
    m_session.Close();
    QDialog::reject();
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
    // As in the Progress window, Escape stops nothing: a stray key must not
    // throw a read or a restore away, nor end the program under it.
    if (event->matches(QKeySequence::Cancel) && OperationRuns()) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MainDialog::ShowAbout() {
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("About Ampdesk"),
                                QStringLiteral("Ampdesk BETA v%1.%2\n\nVelmar AVR control console")
                                    .arg(kVersionMajor)
                                    .arg(kVersionMinor),
                                QMessageBox::Ok, this);
    box->setIconPixmap(windowIcon().pixmap(64));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
