#include "PresetEditor.h"

#include "GridCtrl.h"
#include "PresetRecord.h"
#include "PresetRules.h"
#include "StepSpinBox.h"
#include "Windows1252.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace {

constexpr int kPresetListId = 1330;
constexpr int kShownRows = 12;

const std::array<const char*, PresetEditor::kColumns> kColumnTitles = {
    "Preset #", "Band", "Channel", "FM Mute", "Name",
};
constexpr int kNumberColumn = 0;
constexpr int kBandColumn = 1;
constexpr int kChannelColumn = 2;
constexpr int kMuteColumn = 3;
constexpr int kNameColumn = 4;

QString Shown(const QByteArray& bytes) {
    return FromWindows1252(bytes);
}

// The first `count` characters (characters beyond 16 bits count once).
QString FirstCharacters(const QString& text, int count) {
    QList<uint> characters = text.toUcs4();
    characters.resize(std::min<qsizetype>(characters.size(), count));
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData()),
                             characters.size());
}

}  // namespace

PresetEditor::PresetEditor(QWidget* parent) : QDialog(parent) {
    setWindowTitle(kTitle);
    setModal(false);
    setSizeGripEnabled(true);
    // Without an icon of its own the window shows the application's icon.
    BuildControls();
    SetUpGrid();
    m_selectedRow = 0;
    m_rowCount = 1;
    m_grid->SetRows(1);
    m_skipNextRebuild = false;
    FillLists();
    ApplyBandRules();
}

void PresetEditor::BuildControls() {
    m_grid = new CGridCtrl(this);
    m_grid->SetControlId(kPresetListId);
    m_grid->setAccessibleName(QStringLiteral("Presets"));
    // Room for a dozen presets before the list scrolls.
    m_grid->setMinimumHeight(m_grid->verticalHeader()->defaultSectionSize() * (kShownRows + 1));
    m_moveUp = new QPushButton(QStringLiteral("Move &Up"), this);
    m_moveDown = new QPushButton(QStringLiteral("Move &Down"), this);
    m_delete = new QPushButton(QStringLiteral("De&lete"), this);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    m_preset = new QComboBox(this);
    m_band = new QComboBox(this);
    m_channel = new StepSpinBox(this);
    m_channel->setMinimumWidth(m_channel->fontMetrics().horizontalAdvance("000.00 MHz") + 40);
    m_name = new QLineEdit(this);
    m_name->setMinimumWidth(m_name->fontMetrics().horizontalAdvance(QString(13, 'W')));
    m_mute = new QCheckBox(QStringLiteral("FM &Mute"), this);
    m_add = new QPushButton(QStringLiteral("&Add/Change"), this);
    for (QPushButton* button : {m_moveUp, m_moveDown, m_delete, m_add})
        button->setAutoDefault(false);

    // The list grows with the window; the buttons beside it keep to its right
    // edge, the entry row to its bottom edge and "OK" to the bottom right.
    auto* layout = new QGridLayout(this);
    layout->addWidget(m_grid, 0, 0, 4, 1);
    layout->addWidget(m_moveUp, 0, 1);
    layout->addWidget(m_moveDown, 1, 1);
    layout->addWidget(m_delete, 2, 1);
    layout->setRowStretch(3, 1);
    layout->setColumnStretch(0, 1);

    auto* entry = new QGridLayout;
    struct EntryField {
        const char* label;
        QWidget* field;
    };
    const EntryField fields[] = {
        {"&Preset #", m_preset},
        {"&Band", m_band},
        {"C&hannel", m_channel},
        {"&Name", m_name},
    };
    int column = 0;
    for (const EntryField& field : fields) {
        auto* label = new QLabel(QString::fromLatin1(field.label), this);
        label->setBuddy(field.field);
        entry->addWidget(label, 0, column);
        entry->addWidget(field.field, 1, column);
        ++column;
    }
    entry->addWidget(m_mute, 1, column++);
    entry->addWidget(m_add, 1, column++);
    entry->setColumnStretch(column, 1);
    layout->addLayout(entry, 4, 0);
    layout->addWidget(m_ok, 4, 1, Qt::AlignBottom);

    QWidget* order[] = {m_grid,    m_moveUp, m_moveDown, m_delete, m_preset, m_band,
                        m_channel, m_name,   m_mute,     m_add,    m_ok};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(m_grid, &CGridCtrl::Notified, this, &PresetEditor::OnGridNotified);
    connect(m_moveUp, &QPushButton::clicked, this, &PresetEditor::MoveUp);
    connect(m_moveDown, &QPushButton::clicked, this, &PresetEditor::MoveDown);
    connect(m_delete, &QPushButton::clicked, this, &PresetEditor::Delete);
    connect(m_add, &QPushButton::clicked, this, &PresetEditor::AddChange);
    connect(m_ok, &QPushButton::clicked, this, &PresetEditor::hide);
    connect(m_band, &QComboBox::activated, this, [this] { ApplyBandRules(); });
    connect(m_channel, &StepSpinBox::Stepped, this, &PresetEditor::StepChannel);
    connect(m_name, &QLineEdit::textChanged, this, &PresetEditor::OnNameChanged);
}

void PresetEditor::SetUpGrid() {
    m_grid->SetColumns(kColumns);
    m_grid->SetHeaderRows(1);
    m_grid->SetColumnResize(false);
    m_grid->SetRowResize(false);
    m_grid->SetTrackFocusCell(false);
    m_grid->SetEditable(false);
    m_grid->SetRowSelectMode(true);
    m_grid->SetSingleRowSelection(true);
    m_grid->SetFixedRowSelection(true);
    m_grid->SetFixedColumnSelection(true);
    for (int column = 0; column < kColumns; ++column)
        m_grid->SetCellText(0, column, QString::fromLatin1(kColumnTitles[column]));
    m_grid->FitColumns();
}

void PresetEditor::FillLists() {
    for (int n = 1; n <= PresetRecord::kPresetCount; ++n)
        m_preset->addItem(QString::number(n), n);
    for (const char* band : PresetRules::kBandTexts)
        m_band->addItem(QString::fromLatin1(band));
    m_preset->setCurrentIndex(-1);
    m_band->setCurrentIndex(-1);
}

QByteArray PresetEditor::Value(const QByteArray& key) const {
    return m_hooks.getValue ? m_hooks.getValue(key) : QByteArray();
}

bool PresetEditor::Send(const QByteArray& command) const {
    return m_hooks.send && m_hooks.send(command);
}

int PresetEditor::PresetNumber() const {
    return m_preset->currentText().toInt();
}

void PresetEditor::RebuildList() {
    if (m_skipNextRebuild) {
        m_skipNextRebuild = false;
        return;
    }
    m_rowCount = 1;
    m_grid->SetRows(1);
    const PresetRules::ValueReader reader = [this](const QByteArray& key) { return Value(key); };
    m_amStep = PresetRules::AmStepFrom(reader);
    for (const PresetRules::PresetRow& preset : PresetRules::ListPresets(reader, m_amStep)) {
        ++m_rowCount;
        m_grid->SetRows(m_rowCount);
        const int row = m_rowCount - 1;
        m_grid->SetCellText(row, kNumberColumn, QString::number(preset.number));
        m_grid->SetCellText(row, kBandColumn, Shown(preset.band));
        m_grid->SetCellText(row, kChannelColumn, Shown(preset.channel));
        m_grid->SetCellText(row, kMuteColumn, Shown(preset.mute));
        m_grid->SetCellText(row, kNameColumn, Shown(preset.name));
    }
    if (m_grid->GetSelectedRange().minRow != m_selectedRow) {
        m_grid->ClearSelection();
        if (m_selectedRow >= 1 && m_selectedRow <= PresetRecord::kPresetCount) {
            for (int column = 0; column < kColumns; ++column) {
                m_grid->SetCellState(
                    m_selectedRow, column,
                    m_grid->GetCellState(m_selectedRow, column) | GridState::kSelected);
            }
        }
    }
    m_grid->FitColumns();
}

void PresetEditor::LoadRow(int row) {
    if (row <= 0 || row >= m_grid->GetRowCount())
        return;
    const QString number = m_grid->GetCellText(row, kNumberColumn);
    const QString band = m_grid->GetCellText(row, kBandColumn);
    m_preset->setCurrentIndex(number.toInt() - 1);
    m_channel->SetText(m_grid->GetCellText(row, kChannelColumn));
    m_name->setText(m_grid->GetCellText(row, kNameColumn));
    const int position = PresetRules::BandPosition(band.toLatin1());
    if (position >= 0)
        m_band->setCurrentIndex(position);
    if (position == PresetRules::kFmPosition)
        m_mute->setChecked(m_grid->GetCellText(row, kMuteColumn) == QStringLiteral("Yes"));
    // The name just loaded is the stored preset's own: a change of frequency
    // or mute must send it back, not an empty one.
    m_ruledBand = m_band->currentIndex();
    ApplyBandRules();
}

void PresetEditor::ApplyBandRules() {
    const PresetRules::BandRules rules = PresetRules::ApplyBandRules(
        m_band->currentIndex(), ToWindows1252(m_channel->Text()), m_amStep);
    m_name->setEnabled(rules.nameEnabled);
    m_mute->setEnabled(rules.muteEnabled);
    // Only a change to FM from another band starts a fresh name.
    if (rules.clearName && m_ruledBand != PresetRules::kFmPosition)
        m_name->clear();
    m_ruledBand = m_band->currentIndex();
    m_channel->setEnabled(rules.channelEnabled);
    m_add->setEnabled(rules.addEnabled);
    m_channel->SetText(Shown(rules.channel));
}

void PresetEditor::ReloadFromStore() {
    RebuildList();
    LoadRow(m_selectedRow);
}

void PresetEditor::StepChannel(int steps) {
    const QByteArray stepped = PresetRules::StepChannel(
        m_band->currentText().toLatin1(), ToWindows1252(m_channel->Text()), steps > 0, m_amStep);
    m_channel->SetText(Shown(stepped));
}

void PresetEditor::OnNameChanged(const QString& text) {
    if (ToWindows1252(text).size() <= PresetRecord::kNameLength)
        return;
    // Cut at once, so that no longer name can be composed while the message
    // waits, and a pasted text costs one message, not one per extra character.
    m_name->setText(FirstCharacters(text, PresetRecord::kNameLength));
    m_name->setCursorPosition(static_cast<int>(m_name->text().size()));
    m_name->setFocus();
    if (m_hooks.showMessage)
        m_hooks.showMessage(kNameTooLong, [name = QPointer<QLineEdit>(m_name)] {
            if (name)
                name->setFocus();
        });
}

void PresetEditor::AddChange() {
    const int number = PresetNumber();
    const QByteArray name = ToWindows1252(m_name->text()).left(PresetRecord::kNameLength);
    const QByteArray record =
        PresetRecord::Compose(m_band->currentText().toLatin1(), ToWindows1252(m_channel->Text()),
                              m_mute->isChecked(), name, m_amStep);
    if (number >= 1 && number <= PresetRecord::kPresetCount)
        Send(PresetRecord::SetCommand(number, record));
    RebuildList();
}

void PresetEditor::Delete() {
    const int number = PresetNumber();
    if (number >= 1 && number <= PresetRecord::kPresetCount)
        Send(PresetRecord::SetCommand(number, PresetRecord::kEmpty));
    RebuildList();
}

void PresetEditor::Move(bool up) {
    if (!m_hooks.getValue || !m_hooks.send || m_skipNextRebuild)
        return;
    const std::optional<PresetRules::PresetMove> move =
        PresetRules::MovePreset(PresetNumber(), up, m_hooks.getValue);
    if (!move)
        return;
    // A refused first command means no answers will come to skip.
    if (!Send(move->commands.first()))
        return;
    m_skipNextRebuild = true;
    Send(move->commands.last());
    if (m_selectedRow >= 1)
        m_selectedRow = std::max(0, m_selectedRow + move->selectedRowChange);
}

void PresetEditor::OnGridNotified(const GridNotification& notification) {
    if (notification.code != GridNotify::kClick && notification.code != GridNotify::kFocusChanged)
        return;
    if (notification.row < 0)
        return;
    m_selectedRow = notification.row;
    LoadRow(m_selectedRow);
}

void PresetEditor::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    RebuildList();
}

void PresetEditor::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    RebuildList();
}
