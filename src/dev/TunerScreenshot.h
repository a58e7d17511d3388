#pragma once

#include <QString>

#include <qcoro/qcorotask.h>

class MainDialog;

// The README's tuner pictures: the tuner as a user has it, chosen as source
// and reporting its station, and the preset editor showing the first preset.
inline const QString kTunerScreenshotTab = QStringLiteral("Tuner");

QCoro::Task<> ShowTunerAsSource(MainDialog& dialog);
// An empty text on success, else what went wrong.
QCoro::Task<QString> TakePresetEditorPicture(MainDialog& dialog, QString pngPath);
