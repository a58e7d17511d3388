#pragma once

#include "UpgradeChecker.h"

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QNetworkReply;

// The check over HTTP, without blocking: reads the first line of the version
// file and compares the version in it with ours. The answer comes with
// Finished. The upgrade module hands this class out as an UpgradeChecker.
class UpgradeCheck : public QObject, public UpgradeChecker {
    Q_OBJECT

public:
    // Only the first line counts; a server sending more is not read further.
    static constexpr int kMaxFirstLineBytes = 4096;

    UpgradeCheck(int ownMajor, int ownMinor, QObject* parent = nullptr);
    ~UpgradeCheck() override;

    bool Start(const QString& host) override;
    bool IsRunning() const override { return m_running; }
    void SetTimeoutMs(int milliseconds) override { m_deadline.setInterval(milliseconds); }

signals:
    void Finished(UpgradeChecker::Outcome outcome);

private:
    void OnReadyRead();
    void OnReplyFinished();
    Outcome Judge(const QByteArray& firstLine) const;
    void Finish(Outcome outcome);

    int m_ownMajor;
    int m_ownMinor;
    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    QByteArray m_received;
    bool m_running = false;
};
