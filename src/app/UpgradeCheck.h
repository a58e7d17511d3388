#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkReply;

// Asks the maker's web site over HTTP, without blocking, whether a newer
// version of the program exists: reads the first line of the version file and
// compares the version in it with ours. The answer comes with Finished.
class UpgradeCheck : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        Newer,         // the version file names a newer version
        Current,       // it names our version or an older one
        NoVersion,     // the server answered, but with an error or without a version
        NoConnection,  // no answer: name, connection or network failure, or time-out
    };

    static constexpr int kTimeoutMs = 10000;
    // Only the first line counts; a server sending more is not read further,
    // and the body of an error answer is not read at all.
    static constexpr int kMaxFirstLineBytes = 4096;
    static inline const QString kVersionPath =
        QStringLiteral("/support/code/ORVA_Ampdesk_Version.txt");
    static inline const QString kDownloadPath = QStringLiteral("/software");

    UpgradeCheck(int ownMajor, int ownMinor, QObject* parent = nullptr);
    ~UpgradeCheck() override;

    // Starts a check against the host (name or address, optionally ":port");
    // Finished follows, never before Start returns. False, and nothing
    // happens, while a check runs.
    bool Start(const QString& host);
    bool IsRunning() const { return m_running; }
    void SetTimeoutMs(int milliseconds) { m_deadline.setInterval(milliseconds); }

    // http://host/path; invalid when the host is not a host with an optional port.
    static QUrl SiteUrl(const QString& host, const QString& path);

signals:
    void Finished(UpgradeCheck::Outcome outcome);

private:
    void OnMetaData();
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
