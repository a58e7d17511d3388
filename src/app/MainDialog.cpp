#include "MainDialog.h"

#include "AmpdeskVersion.h"
#include "AvPresetPage.h"
#include "Connection.h"
#include "ControlPage.h"
#include "FileCommands.h"
#include "HelpCommands.h"
#include "PageFactory.h"
#include "PortDiagnostics.h"
#include "PortNames.h"
#include "PostedMessages.h"
#include "Profile.h"
#include "ProgramIcon.h"
#include "ProgressWindow.h"
#include "Prompts.h"
#include "ReceiverShape.h"
#include "SettingPage.h"
#include "TerminalPage.h"
#include "TunerPage.h"
#include "UpdateSetting.h"
#include "WheelGuard.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace {

enum class TabKind { Bound, AvPreset, Control, Tuner };

struct TabRow {
    const char* title;
    TabKind kind;
    PageIndex page;  // the binding table's page number; unused for the tuner
};

// Tab order as the receiver's manual shows it; the binding table numbers its
// pages differently, hence the second column.
constexpr TabRow kTabTable[] = {
    {"Source", TabKind::Bound, PageIndex::Source},
    {"Amplifier", TabKind::Bound, PageIndex::Amplifier},
    {"Display", TabKind::Bound, PageIndex::Display},
    {"Listening Mode", TabKind::Bound, PageIndex::ListeningMode},
    {"Speaker", TabKind::Bound, PageIndex::Speaker},
    {"Trigger", TabKind::Bound, PageIndex::Trigger},
    {"Zone", TabKind::Bound, PageIndex::Zone},
    {"A/V Preset", TabKind::AvPreset, PageIndex::AvPreset},
    {"Control", TabKind::Control, PageIndex::Control},
    {"Tuner", TabKind::Tuner, PageIndex::Control},
};

const char* const kViewTable[] = {
    "Main",
    "Preset 1 Settings",
    "Preset 2 Settings",
    "Preset 3 Settings",
    "Preset 4 Settings",
    "Preset 5 Settings",
};
static_assert(std::size(kViewTable) == 1 + kAvPresetCount, "Main, then one view per A/V preset");

}  // namespace

MainDialog::MainDialog(Prompts& prompts, QWidget* parent)
    : QDialog(parent),
      m_prompts(prompts),
      m_channel(m_port),
      m_binding(m_store, m_state,
                PageBinding::Hooks{[this](const QByteArray& key, const QByteArray& value) {
                    return UpdateSetting(m_store, m_channel, m_state, key, value);
                }}),
      m_statusLines(m_store, [this](const QByteArray& key) { m_binding.RefreshKey(key); }) {
    setWindowTitle(kTitle);
    setWindowIcon(ProgramIcon());
    // The console's one window: minimised, maximised and closed as a main window is.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    m_progress = new ProgressWindow(this);
    m_messages = new PostedMessages(m_prompts, m_channel, this, [this] {
        return !m_store.IsBusy() && !(m_connection && m_connection->IsAttempting());
    });

    auto* layout = new QVBoxLayout(this);
    BuildMenu();
    layout->setMenuBar(m_menuBar);
    BuildConnectionRow();
    BuildTabs();
    // The pages scroll: rolling the wheel over them must not rewrite the receiver.
    new WheelGuard(m_tabs);

    m_connection = std::make_unique<Connection>(
        m_port, m_channel, m_store, m_state,
        Connection::Hooks{
            [this](const QString& text) { SetStatus(text); },
            [this] { m_binding.RefreshAllPages(); },
            [this] { return CurrentTabTitle(); },
            [this] { return m_controlPage->IsTunerSelected(); },
            [](const QString& portName) {
                return ResolvePortPath(portName, Profile::PortsFolder());
            },
            m_progress,
            [this] { return AutoDetectPortNames(Profile::PortsFolder(), m_deviceFolders); },
            [this](const QString& portName, const SerialPort& port) {
                SetStatusReason(DescribeOpenFailure(
                    {portName, port.DevicePath(), port.LastErrorNumber(), port.LastError()},
                    Profile::PortsFolder()));
            },
        });
    m_fileCommands = std::make_unique<FileCommands>(
        m_store, m_channel, m_prompts, this,
        FileCommands::Hooks{[this] { m_binding.RefreshAllPages(); },
                            [this] { return StoreIsFree(); }, m_progress});

    m_channel.SetStatusHook(
        [this](const QByteArray& key, const QByteArray& value, const QByteArray& line) {
            m_statusLines.HandleStatusLine(key, value, line);
        });
    m_channel.SetKeepAliveHook([this] { m_connection->RestartKeepAlive(); });
    m_channel.SetTerminalHook([this](const QByteArray& line) {
        if (m_terminalPage &&
            CurrentTabTitle().compare(TerminalPage::kTitle, Qt::CaseInsensitive) == 0)
            m_terminalPage->EchoLine(line);
    });
    m_help = new HelpCommands(*m_messages, this,
                              HelpCommands::Hooks{
                                  [] { return Profile::ReadUpgradeHost(); },
                              },
                              kVersionMajor, kVersionMinor);

    m_controlPage->SetHooks(ControlPage::Hooks{
        [this](const QByteArray& key, bool up) { return m_channel.Step(key, up); },
        [this](bool enabled) {
            enabled ? m_tunerPage->EnableControls() : m_tunerPage->DisableControls();
        },
        [this](const QString& message) { m_messages->Post(message); },
    });
    m_tunerPage->SetHooks(TunerHooks{
        [this](const QByteArray& line) { return m_channel.SendLine(line); },
        [this](const QByteArray& key) { return m_store.GetValue(key); },
        [this](const QString& message, std::function<void()> closed) {
            m_messages->Post(message, std::move(closed));
        },
    });
    m_statusLines.SetTunerHook(
        [this](const QByteArray& line) { m_tunerPage->OnTunerStatus(line); });

    PreselectPort();
    m_state = SessionState{};
    m_viewCombo->setCurrentIndex(0);
    m_store.ResetToDefaults();
    m_binding.FillChoices();
    m_binding.RefreshAllPages();
    SetStatus(kNotConnectedAtStart);

    // Wired only now: choices made while the window opens are not the user's.
    connect(m_viewCombo, &QComboBox::currentIndexChanged, this, &MainDialog::OnViewChanged);
    // `activated` is a choice from the list (or a typed text the combo matched
    // to an item, which OnPortChanged tells apart).
    connect(m_portCombo, &QComboBox::activated, this, &MainDialog::OnPortChanged);
    connect(m_tabs, &QTabWidget::currentChanged, this, &MainDialog::OnTabChanged);
    FitToPages();
    // Enter connects from the start; the Status field only shows.
    m_connectButton->setFocus();
}

MainDialog::~MainDialog() {
    // Lines still queued for delivery must not reach half-destroyed members.
    m_connection->StopKeepAlive();
    m_channel.SetStatusHook({});
    m_channel.SetKeepAliveHook({});
    m_channel.SetTerminalHook({});
    m_statusLines.SetTunerHook({});
    // The editor may still be shown; hiding it as the window goes must not
    // reach the store, which is gone before the pages.
    m_tunerPage->SetHooks({});
    m_port.Close();
    // Destroying the children moves focus and tabs about; their signals must
    // not reach this half-destroyed window.
    for (QObject* sender : std::initializer_list<QObject*>{m_tabs, m_viewCombo, m_portCombo,
                                                           m_portCombo->lineEdit()}) {
        sender->disconnect(this);
    }
}

void MainDialog::BuildMenu() {
    m_menuBar = new QMenuBar(this);
    // Alt+V belongs to the "View:" combo, so the View menu answers to Alt+W.
    QMenu* file = m_menuBar->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Save Settings"), this, &MainDialog::SaveSettings);
    file->addAction(QStringLiteral("&Load Settings"), this, &MainDialog::LoadSettings);
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

void MainDialog::BuildConnectionRow() {
    m_status = new QLineEdit(this);
    m_status->setReadOnly(true);
    m_status->setObjectName(QStringLiteral("status"));
    m_statusReason = new QLabel(this);
    m_statusReason->setObjectName(QStringLiteral("statusReason"));
    m_statusReason->setWordWrap(true);
    m_statusReason->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_statusReason->setAccessibleName(QStringLiteral("Status reason"));
    m_statusReason->hide();
    m_status->setAccessibleName(QStringLiteral("Status"));

    m_viewCombo = new QComboBox(this);
    for (const char* text : kViewTable)
        m_viewCombo->addItem(QString::fromLatin1(text));

    m_portCombo = new QComboBox(this);
    // The combo matches a typed name to an item when the text is committed
    // (focus leaves, Enter) and reports that as `activated`. The edit's
    // signals, connected before the combo connects its own, mark that span.
    auto* portEdit = new QLineEdit(m_portCombo);
    portEdit->setAccessibleName(QStringLiteral("Com Port"));
    for (auto signal : {&QLineEdit::editingFinished, &QLineEdit::returnPressed})
        connect(portEdit, signal, this, [this] { m_portTextCommitting = true; });
    m_portCombo->setLineEdit(portEdit);
    for (auto signal : {&QLineEdit::editingFinished, &QLineEdit::returnPressed})
        connect(portEdit, signal, this, [this] { m_portTextCommitting = false; });
    m_portCombo->setInsertPolicy(QComboBox::NoInsert);
    m_portCombo->addItem(Connection::kAutoDetect);
    m_portCombo->addItems(ComPortNames());
    FillAdapterChoices();
    m_portCombo->setMinimumContentsLength(12);
    // A by-id adapter name is long: the list shows it whole, the field scrolls.
    m_portCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

    m_connectButton = new QPushButton(QStringLiteral("&Connect"), this);
    m_connectButton->setDefault(true);
    m_closeButton = new QPushButton(QStringLiteral("C&lose"), this);
    m_closeButton->setAutoDefault(false);
    connect(m_connectButton, &QPushButton::clicked, this, &MainDialog::OnConnect);
    connect(m_closeButton, &QPushButton::clicked, this, &MainDialog::reject);

    auto label = [this](const char* text, QWidget* buddy) {
        auto* shown = new QLabel(QString::fromLatin1(text), this);
        shown->setBuddy(buddy);
        return shown;
    };
    auto* grid = new QGridLayout;
    grid->addWidget(label("Status:", m_status), 0, 0);
    auto* statusColumn = new QVBoxLayout;
    statusColumn->addWidget(m_status);
    statusColumn->addWidget(m_statusReason);
    grid->addLayout(statusColumn, 0, 1, 1, 4);
    grid->addWidget(m_connectButton, 0, 5);
    grid->addWidget(label("&View:", m_viewCombo), 1, 0);
    grid->addWidget(m_viewCombo, 1, 1);
    grid->addWidget(label("Com &Port:", m_portCombo), 1, 2, Qt::AlignRight);
    grid->addWidget(m_portCombo, 1, 3);
    grid->setColumnStretch(4, 1);
    grid->addWidget(m_closeButton, 1, 5);
    static_cast<QVBoxLayout*>(layout())->addLayout(grid);

    // Tab follows reading order: the top line, then the second line.
    QWidget::setTabOrder(m_status, m_connectButton);
    QWidget::setTabOrder(m_connectButton, m_viewCombo);
    QWidget::setTabOrder(m_viewCombo, m_portCombo);
    QWidget::setTabOrder(m_portCombo, m_closeButton);
}

void MainDialog::BuildTabs() {
    m_tabs = new QTabWidget(this);
    m_tabs->setUsesScrollButtons(true);
    m_tabs->tabBar()->setAccessibleName(QStringLiteral("Pages"));
    // The tab row's own arrow keys do what its scroll buttons do; Tab passes them by.
    for (QToolButton* scroll : m_tabs->tabBar()->findChildren<QToolButton*>())
        scroll->setFocusPolicy(Qt::NoFocus);
    for (const TabRow& row : kTabTable) {
        QWidget* page = nullptr;
        switch (row.kind) {
            case TabKind::Bound: {
                SettingPage* bound = CreateBoundPage(row.page);
                m_binding.AttachPage(bound);
                page = bound;
                break;
            }
            case TabKind::AvPreset:
                m_avPresetPage = new AvPresetPage;
                m_binding.AttachPage(m_avPresetPage);
                page = m_avPresetPage;
                break;
            case TabKind::Control:
                m_controlPage = new ControlPage;
                m_binding.AttachPage(m_controlPage);
                page = m_controlPage;
                break;
            case TabKind::Tuner:
                m_tunerPage = new TunerPage;
                page = m_tunerPage;
                break;
        }
        // Pages scroll, so the window can be made smaller than a page.
        auto* scroll = new QScrollArea;
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        // The page's controls take the focus, and the area follows them.
        scroll->setFocusPolicy(Qt::NoFocus);
        scroll->setWidget(page);
        m_tabs->addTab(scroll, QString::fromLatin1(row.title));
    }
    static_cast<QVBoxLayout*>(layout())->addWidget(m_tabs, 1);
}

void MainDialog::PreselectPort() {
    const QString remembered = Profile::ReadPort();
    int found = -1;
    for (int i = 0; i < m_portCombo->count(); ++i) {
        if (m_portCombo->itemText(i).startsWith(remembered, Qt::CaseInsensitive)) {
            found = i;
            break;
        }
    }
    m_portCombo->setCurrentIndex(found);
}

// Adapters follow "Auto-Detect" and COM1..COM9, under their stable names.
void MainDialog::FillAdapterChoices() {
    const int fixed = 1 + kComPortCount;
    while (m_portCombo->count() > fixed)
        m_portCombo->removeItem(fixed);
    m_portCombo->addItems(SerialAdapterPaths(m_deviceFolders));
}

void MainDialog::SetDeviceFolders(const DeviceFolders& folders) {
    const QSignalBlocker quiet(m_portCombo);
    const QString chosen = m_portCombo->currentText();
    m_deviceFolders = folders;
    FillAdapterChoices();
    const int index = m_portCombo->findText(chosen, Qt::MatchFixedString);
    if (index >= 0)
        m_portCombo->setCurrentIndex(index);
    else
        m_portCombo->setEditText(chosen);
}

void MainDialog::FitToPages() {
    QSize pages(0, 0);
    for (int i = 0; i < m_tabs->count(); ++i) {
        // A page in a scroll area is measured by what it holds; the Terminal
        // (no scroll area) takes whatever room the others leave.
        const auto* scroll = qobject_cast<QScrollArea*>(m_tabs->widget(i));
        if (scroll != nullptr && scroll->widget() != nullptr)
            pages = pages.expandedTo(scroll->widget()->sizeHint());
    }
    // All ten tab titles visible at once, without the scroll arrows.
    pages = pages.expandedTo(QSize(m_tabs->tabBar()->sizeHint().width(), 0));
    const QSize chrome = sizeHint() - m_tabs->sizeHint();
    QSize wanted = pages + chrome + QSize(24, m_tabs->tabBar()->sizeHint().height() + 24);
    wanted = wanted.expandedTo(QSize(640, 480));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        wanted = wanted.boundedTo(screen->availableSize() * 9 / 10);
    }
    resize(wanted);
}

void MainDialog::OnConnect() {
    if (!StoreIsFree())
        return;
    const QString portName = m_portCombo->currentText();
    if (!m_prompts.AskYesNo(this, kConnectWarning))
        return;
    // The window's own focus widget: the Progress window takes the keyboard meanwhile.
    const bool hadFocus = focusWidget() == m_connectButton;
    m_connectButton->setEnabled(false);
    // Disabling the button passed its focus on; it comes back unless the user moved it meanwhile.
    const QWidget* passedTo = focusWidget();
    m_connection->ConnectTo(portName);
    ClearBusyNotice();
    m_connectButton->setEnabled(true);
    if (hadFocus && focusWidget() == passedTo)
        m_connectButton->setFocus();
}

void MainDialog::OnViewChanged(int index) {
    m_state.viewIndex = index;
    m_binding.RefreshView();
}

void MainDialog::OnPortChanged(int index) {
    // A typed name is not remembered, even one the combo matched to an item.
    if (index < 0 || m_portTextCommitting)
        return;
    Profile::WritePort(m_portCombo->itemText(index));
}

void MainDialog::OnTabChanged(int index) {
    QWidget* page = m_tabs->widget(index);
    QWidget* focus = QApplication::focusWidget();
    // Someone walking the tabs from the keyboard stays on the tab row.
    if (page == nullptr || (focus != nullptr && focus == m_tabs->tabBar()))
        return;
    // The page remembers the control it last gave the focus to.
    QWidget* target = page->focusWidget();
    if (!TakesTabFocus(target, page)) {
        // Otherwise its first control in tab order.
        target = nullptr;
        for (QWidget* next = page->nextInFocusChain(); next != page && target == nullptr;
             next = next->nextInFocusChain()) {
            if (TakesTabFocus(next, page))
                target = next;
        }
    }
    if (target == nullptr)
        target = m_tabs->tabBar();
    target->setFocus(Qt::OtherFocusReason);
}

bool MainDialog::TakesTabFocus(const QWidget* widget, const QWidget* page) {
    return widget != nullptr && widget != page && page->isAncestorOf(widget) &&
           (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && widget->isEnabled() &&
           widget->isVisibleTo(page);
}

void MainDialog::SaveSettings() {
    m_fileCommands->SaveSettings();
}

void MainDialog::LoadSettings() {
    m_fileCommands->LoadSettings();
    ClearBusyNotice();
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
            [this](const QByteArray& line) { return m_channel.SendLine(line); });
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
    if (!m_store.IsBusy() && !m_connection->IsAttempting())
        return true;
    // Said at once: a message box would have to wait until the read or restore
    // no longer does, and the command would seem to do nothing meanwhile.
    SetStatusReason(kBusyMessage);
    return false;
}

void MainDialog::ClearBusyNotice() {
    // A refused command returns here too while the operation still runs.
    if (StatusReason() == kBusyMessage && !m_store.IsBusy() && !m_connection->IsAttempting())
        SetStatusReason(QString());
}

void MainDialog::SetStatus(const QString& text) {
    m_status->setText(text);
    SetStatusReason(QString());
}

void MainDialog::SetStatusReason(const QString& reason) {
    m_statusReason->setText(reason);
    m_statusReason->setVisible(!reason.isEmpty());
    m_status->setToolTip(reason);
    m_status->setAccessibleDescription(reason);
}

QString MainDialog::StatusReason() const {
    return m_statusReason->text();
}

QString MainDialog::StatusText() const {
    return m_status->text();
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

void MainDialog::reject() {
    // A bulk read or restore still waiting below us ends quickly on a closed port.
    m_connection->StopKeepAlive();
    m_state.connected = false;
    m_port.Close();
    QDialog::reject();
}

void MainDialog::ShowAbout() {
    // Opened without a nested event loop: a bulk read waiting below the menu goes on.
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("About Ampdesk"),
                                QStringLiteral("Ampdesk BETA v%1.%2\n\nVelmar AVR control console")
                                    .arg(kVersionMajor)
                                    .arg(kVersionMinor),
                                QMessageBox::Ok, this);
    box->setIconPixmap(windowIcon().pixmap(64));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
