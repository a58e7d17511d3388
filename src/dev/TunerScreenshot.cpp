#include "TunerScreenshot.h"

#include "CommandChannel.h"
#include "ControlPage.h"
#include "GridCtrl.h"
#include "MainDialog.h"
#include "PresetEditor.h"
#include "TunerPage.h"

#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

namespace {

// Long enough for the receiver's answers to the tuner query to be shown.
constexpr unsigned kSettleMs = 400;

}  // namespace

void ShowTunerAsSource(MainDialog& dialog) {
    dialog.GetControlPage()->SourceButton(kTunerSource)->click();
    CommandChannel::PumpMessages(kSettleMs);
}

QString TakePresetEditorPicture(MainDialog& dialog, const QString& pngPath) {
    PresetEditor& editor = *dialog.GetTunerPage()->Editor();
    dialog.GetTunerPage()->EditPresetsButton()->click();
    CommandChannel::PumpMessages(kSettleMs);
    editor.Grid()->Cells().ActivateCell(1, 0);
    editor.Grid()->Cells().NotifyCell(GridNotify::kClick, 1, 0);
    CommandChannel::PumpMessages(kSettleMs);
    const QPixmap picture = editor.grab();
    editor.hide();
    if (picture.isNull() || !picture.save(pngPath, "PNG"))
        return QStringLiteral("could not write %1").arg(pngPath);
    return {};
}
