#pragma once

#include "SerialAdapters.h"

#include <QString>
#include <QStringList>

// The Com Port combo speaks of "COM1".."COM9" as the receiver's manual does.
// On Linux such a name means, first, a symbolic link of that name in the
// `ports` folder beside the profile (e.g. ports/COM3 -> /dev/ttyUSB0), else the
// n-th on-board serial port /dev/ttyS(n-1). Any other text is a device path.

inline constexpr int kComPortCount = 9;

// "COM1".."COM9", in Auto-Detect order.
QStringList ComPortNames();
// 1..9 for "COM1".."COM9" in any letter case, else 0.
int ComPortNumber(const QString& portName);
QString ResolvePortPath(const QString& portName, const QString& portsFolder);

// For COMn, where the name was looked for, e.g. "COM3 is the link
// ~/.config/Velmar/ports/COM3 to /dev/ttyUSB0"; empty for any other name.
QString ExplainPortLookup(const QString& portName, const QString& portsFolder);

// What Auto-Detect tries, in order: COM1..COM9, then the USB serial bridges on
// the machine that no COMn link already reached. A ttyACM device is tried only
// when it is linked as a COMn.
QStringList AutoDetectPortNames(const QString& portsFolder, const DeviceFolders& folders);
