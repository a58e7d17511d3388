#pragma once

#include <QString>

// Why a port would not open, in words a person can act on. The status field
// keeps "Cannot open Com Port"; this is the line that goes with it.
struct OpenFailure {
    QString portName;    // as chosen or typed: "COM3", "/dev/ttyUSB0"
    QString devicePath;  // what was opened
    int errorNumber = 0;
    QString errorText;  // the port's own description, used when there is no advice
};

QString DescribeOpenFailure(const OpenFailure& failure, const QString& portsFolder);
