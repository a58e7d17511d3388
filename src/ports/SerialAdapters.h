#pragma once

#include <QString>
#include <QStringList>

// Where the serial adapters plugged into this machine show up. Tests point
// these at a temporary folder of fake devices.
struct DeviceFolders {
    // udev's stable names, e.g. usb-FTDI_FT232R_USB_UART_A1234567-if00-port0.
    QString byId = QStringLiteral("/dev/serial/by-id");
    // ttyUSB0.. (USB-serial bridges) and ttyACM0.. (CDC modems).
    QString dev = QStringLiteral("/dev");
};

// The adapters present, each once and by its most stable name: the by-id links
// (sorted by name), then the ttyUSB and ttyACM devices no by-id link reaches
// (in number order).
QStringList SerialAdapterPaths(const DeviceFolders& folders);

// Whether Auto-Detect may open the adapter unasked: USB serial bridges
// (ttyUSB), not CDC devices (ttyACM), which the user chooses or types.
bool AutoDetectProbes(const QString& adapterPath);
