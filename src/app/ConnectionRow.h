#pragma once

#include "AdapterWatch.h"
#include "SerialAdapters.h"

#include <QObject>
#include <QString>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The two lines above the pages: Status (with the reason below it) and
// Connect; View, Com Port and Close. The port list is COM1..COM9, then the
// serial adapters on the machine, kept up to date as adapters are plugged in
// and out, and remembers a chosen port in the profile.
class ConnectionRow : public QObject {
    Q_OBJECT

public:
    // The widgets are the window's children; the layout is for the window to place.
    explicit ConnectionRow(QWidget* window);

    QGridLayout* Layout() const { return m_grid; }
    QLineEdit* Status() const { return m_status; }
    QComboBox* ViewCombo() const { return m_viewCombo; }
    QComboBox* PortCombo() const { return m_portCombo; }
    QPushButton* ConnectButton() const { return m_connectButton; }
    QPushButton* CloseButton() const { return m_closeButton; }

    // Also clears the reason line below the status field.
    void SetStatus(const QString& text);
    QString StatusText() const;
    void SetStatusReason(const QString& reason);
    QString StatusReason() const;

    // The port the profile remembers, or none.
    void PreselectPort();
    // Where the list looks for serial adapters; the chosen text stays.
    void SetDeviceFolders(const DeviceFolders& folders);
    // Wired only once the window is built: choices made meanwhile are not the user's.
    void RememberChosenPorts();

private:
    // Refills the adapters after the fixed names; the port shown stays.
    void FillAdapterChoices();
    void OnPortChosen(int index);

    QGridLayout* m_grid = nullptr;
    QLineEdit* m_status = nullptr;
    QLabel* m_statusReason = nullptr;
    QComboBox* m_viewCombo = nullptr;
    QComboBox* m_portCombo = nullptr;
    QPushButton* m_connectButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    AdapterWatch m_adapters;
    bool m_portTextCommitting = false;
};
