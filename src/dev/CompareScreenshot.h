#pragma once

#include <QString>

#include <qcoro/qcorotask.h>

class MainDialog;

// The README's compare picture: three settings changed on the receiver since
// the connection's snapshot, that snapshot in the compare window, two ticked.
inline const QString kCompareScreenshotTab = QStringLiteral("Compare");

// An empty text on success, else what went wrong.
QCoro::Task<QString> TakeComparePicture(MainDialog& dialog, QString pngPath);
