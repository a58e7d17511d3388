#pragma once

#include "LinkDevice.h"

// Opens a serial device for the receiver link: raw, the given baud rate, 8 data
// bits, no parity, 1 stop bit, no flow control, DTR on and RTS off, and held
// exclusively so that a second opener fails.
LinkDeviceResult OpenSerialDevice(const QString& devicePath, unsigned baud);

// True when the rate is one the line can be set to.
bool IsSupportedBaud(unsigned baud);
