#pragma once

#include <QString>

class MainDialog;

// The README's tuner pictures: the tuner as a user has it, chosen as source
// and reporting its station, and the preset editor showing the first preset.
inline const QString kTunerScreenshotTab = QStringLiteral("Tuner");

void ShowTunerAsSource(MainDialog& dialog);
// An empty text on success, else what went wrong.
QString TakePresetEditorPicture(MainDialog& dialog, const QString& pngPath);
