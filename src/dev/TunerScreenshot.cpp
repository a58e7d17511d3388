#include "TunerScreenshot.h"

#include "ControlPage.h"
#include "Delay.h"
#include "GridCtrl.h"
#include "MainDialog.h"
#include "PresetEditor.h"
#include "TunerPage.h"

#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

namespace {

// Long enough for the receiver's answers to the tuner query to be shown.
constexpr int kSettleMs = 400;

}  // namespace

QCoro::Task<> ShowTunerAsSource(MainDialog& dialog) {
    dialog.GetControlPage()->SourceButton(kTunerSource)->click();
    co_await Delay(&dialog, kSettleMs);
}

QCoro::Task<QString> TakePresetEditorPicture(MainDialog& dialog, QString pngPath) {
    PresetEditor& editor = *dialog.GetTunerPage()->Editor();
    dialog.GetTunerPage()->EditPresetsButton()->click();
    co_await Delay(&dialog, kSettleMs);
    editor.Grid()->Cells().ActivateCell(1, 0);
    editor.Grid()->Cells().NotifyCell(GridNotify::kClick, 1, 0);
    co_await Delay(&dialog, kSettleMs);
    const QPixmap picture = editor.grab();
    editor.hide();
    if (picture.isNull() || !picture.save(pngPath, "PNG"))
        co_return QStringLiteral("could not write %1").arg(pngPath);
    co_return QString();
}
