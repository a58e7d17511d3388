#pragma once

#include "TunerHooks.h"

#include <QDialog>

class CGridCtrl;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class StepSpinBox;
struct GridNotification;

// "Edit Presets": the receiver's 40 tuner presets in a list, added, changed,
// deleted and reordered. Every change goes to the receiver as a preset set
// command; the list changes only when the receiver reports the new value
// back (ReloadFromStore). A modeless window, hidden until shown and hidden
// again by "OK" or its close box, never destroyed before its page.
class PresetEditor : public QDialog {
    Q_OBJECT

public:
    static inline const QString kTitle = QStringLiteral("Edit Presets");
    static inline const QString kNameTooLong =
        QStringLiteral("Maximum name length is 12 characters");
    static constexpr int kColumns = 5;

    explicit PresetEditor(QWidget* parent = nullptr);

    void SetHooks(TunerHooks hooks) { m_hooks = std::move(hooks); }

    // Lists the non-empty presets from the store and marks the selected row;
    // after a move, the first rebuild is skipped.
    void RebuildList();
    // Loads grid row `row` into the entry fields; row 0 (the header) and rows
    // the grid does not have load nothing. The stored name is loaded for every
    // band.
    void LoadRow(int row);
    // The chosen band's rules; choosing FM from another band empties "Name".
    void ApplyBandRules();
    // A preset line arrived.
    void ReloadFromStore();

    void StepChannel(int steps);
    void AddChange();
    void Delete();
    void MoveUp() { Move(true); }
    void MoveDown() { Move(false); }

    int SelectedRow() const { return m_selectedRow; }
    int RowCount() const { return m_rowCount; }
    int AmStep() const { return m_amStep; }
    bool SkipsNextRebuild() const { return m_skipNextRebuild; }

    CGridCtrl* Grid() const { return m_grid; }
    QComboBox* PresetCombo() const { return m_preset; }
    QComboBox* BandCombo() const { return m_band; }
    StepSpinBox* ChannelSpin() const { return m_channel; }
    QLineEdit* NameEdit() const { return m_name; }
    QCheckBox* MuteBox() const { return m_mute; }
    QPushButton* AddChangeButton() const { return m_add; }
    QPushButton* DeleteButton() const { return m_delete; }
    QPushButton* MoveUpButton() const { return m_moveUp; }
    QPushButton* MoveDownButton() const { return m_moveDown; }
    QPushButton* OkButton() const { return m_ok; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildControls();
    void SetUpGrid();
    void FillLists();
    void OnGridNotified(const GridNotification& notification);
    void OnNameChanged(const QString& text);
    void Move(bool up);
    int PresetNumber() const;
    QByteArray Value(const QByteArray& key) const;
    bool Send(const QByteArray& command) const;

    TunerHooks m_hooks;
    int m_rowCount = 1;
    int m_amStep = 10;
    int m_selectedRow = 0;
    bool m_skipNextRebuild = false;
    int m_ruledBand = -1;  // the band the entry fields were last set up for

    CGridCtrl* m_grid = nullptr;
    QPushButton* m_moveUp = nullptr;
    QPushButton* m_moveDown = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_ok = nullptr;
    QComboBox* m_preset = nullptr;
    QComboBox* m_band = nullptr;
    StepSpinBox* m_channel = nullptr;
    QLineEdit* m_name = nullptr;
    QCheckBox* m_mute = nullptr;
    QPushButton* m_add = nullptr;
};
