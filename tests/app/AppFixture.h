#pragma once

#include "MainDialog.h"
#include "ScriptedPrompts.h"
#include "SimProcess.h"

#include <QByteArrayList>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

class QComboBox;
class QWidget;

// Each test gets its own profile folder (and with it its own `ports` folder),
// an offscreen application and a window answering through ScriptedPrompts.
class AppFixture : public ::testing::Test {
protected:
    AppFixture();
    ~AppFixture() override;

    MainDialog& Window();
    // Closes the window and opens a new one on the same profile, as a restart does.
    MainDialog& Restart();

    QString PortsFolder() const;
    // ports/COMn -> target (which need not exist).
    void LinkPort(int number, const QString& target) const;
    // Starts a simulator with --baud 0 and the extra arguments, linked as COMn.
    SimProcess& StartSim(int number, const QStringList& extraArgs = {});

    // Picks or types the port and presses Connect, answering the warning Yes.
    bool ConnectOn(const QString& portName);
    // Until no read, restore or connection attempt runs (Load Settings).
    bool WaitUntilFree();
    // Every text the status field showed, in order.
    const QStringList& StatusHistory() const { return m_statusHistory; }

    // Connects on COMn to a freshly started simulator and waits until the
    // receiver has seen the closing tuner query, so later marks are clean.
    void ConnectToSim(int number, const QStringList& extraArgs = {});
    // Picks the entry as a user does (the pages listen to user choices only).
    static void Choose(QComboBox* combo, const QString& text);

    QWidget* ControlWidget(ControlId id);
    QComboBox* ControlCombo(ControlId id);
    // Waits, handling events, until the predicate holds or the time is up.
    static bool WaitFor(const std::function<bool()>& predicate, int timeoutMs);
    // The commands the simulator received since the mark, once the window's
    // queue has emptied; without the keep-alive's polls unless asked, since
    // their timing is the machine's.
    QByteArrayList CommandsSince(qsizetype mark, bool withPolls = false);
    // The same, taken behind a barrier: a query sent now whose answer has come
    // back. The line is ordered, so whatever the window sent before (an echo)
    // has reached the receiver by then.
    QByteArrayList CommandsBeforeBarrier(qsizetype mark);
    qsizetype CommandMark() const;

    QTemporaryDir m_home;
    // Empty stand-ins for /dev/serial/by-id and /dev, so the machine's own
    // adapters never join a test's Auto-Detect.
    DeviceFolders m_devices;
    ScriptedPrompts m_prompts;
    std::unique_ptr<SimProcess> m_sim;

private:
    void OpenWindow();

    std::unique_ptr<MainDialog> m_window;
    QStringList m_statusHistory;
};
