#include "UpgradeCheck.h"

#include "VersionLine.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

bool IsSuccess(const QNetworkReply* reply) {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status >= 200 && status < 300;
}

// A redirection is Qt's to follow; its answer comes as the reply's own.
bool IsRedirection(const QNetworkReply* reply) {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status >= 300 && status < 400;
}

bool ServerAnswered(const QNetworkReply* reply) {
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
}

}  // namespace

QUrl UpgradeCheck::SiteUrl(const QString& host, const QString& path) {
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setAuthority(host.trimmed(), QUrl::StrictMode);
    url.setPath(path);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty())
        return {};
    return url;
}

UpgradeCheck::UpgradeCheck(int ownMajor, int ownMinor, QObject* parent)
    : QObject(parent), m_ownMajor(ownMajor), m_ownMinor(ownMinor) {
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(kTimeoutMs);
    connect(&m_deadline, &QTimer::timeout, this, [this] { Finish(Outcome::NoConnection); });
}

UpgradeCheck::~UpgradeCheck() {
    if (m_reply) {
        disconnect(m_reply, nullptr, this, nullptr);
        m_reply->abort();
    }
}

bool UpgradeCheck::Start(const QString& host) {
    if (m_running)
        return false;
    m_running = true;
    m_received.clear();
    const QUrl url = SiteUrl(host, kVersionPath);
    if (!url.isValid()) {
        // Reported like any other failure to connect, after Start returns.
        QMetaObject::invokeMethod(
            this, [this] { Finish(Outcome::NoConnection); }, Qt::QueuedConnection);
        return true;
    }

    QNetworkRequest request(url);
    // A fresh copy from the server, never a cached one.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    m_reply = m_network.get(request);
    // Qt would otherwise buffer whatever the server sends, however much.
    m_reply->setReadBufferSize(kMaxFirstLineBytes);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &UpgradeCheck::OnMetaData);
    connect(m_reply, &QNetworkReply::readyRead, this, &UpgradeCheck::OnReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &UpgradeCheck::OnReplyFinished);
    m_deadline.start();
    return true;
}

void UpgradeCheck::OnMetaData() {
    // An error page's text is no version file, and it may never end: the check
    // stops at the status line, before any of it is read.
    if (ServerAnswered(m_reply) && !IsSuccess(m_reply) && !IsRedirection(m_reply))
        Finish(Outcome::NoVersion);
}

void UpgradeCheck::OnReadyRead() {
    if (!IsSuccess(m_reply)) {
        Finish(ServerAnswered(m_reply) ? Outcome::NoVersion : Outcome::NoConnection);
        return;
    }
    m_received += m_reply->read(kMaxFirstLineBytes - m_received.size());
    const qsizetype lineEnd = m_received.indexOf('\n');
    if (lineEnd >= 0)
        Finish(Judge(m_received.left(lineEnd)));
    else if (m_received.size() >= kMaxFirstLineBytes)
        Finish(Judge(m_received));
}

void UpgradeCheck::OnReplyFinished() {
    if (m_reply->error() == QNetworkReply::NoError && IsSuccess(m_reply)) {
        m_received += m_reply->read(kMaxFirstLineBytes - m_received.size());
        const qsizetype lineEnd = m_received.indexOf('\n');
        Finish(Judge(lineEnd >= 0 ? m_received.left(lineEnd) : m_received));
        return;
    }
    Finish(ServerAnswered(m_reply) ? Outcome::NoVersion : Outcome::NoConnection);
}

UpgradeCheck::Outcome UpgradeCheck::Judge(const QByteArray& firstLine) const {
    int major = 0;
    int minor = 0;
    if (!ParseVersionLine(firstLine, major, minor))
        return Outcome::NoVersion;
    return IsNewerVersion(major, minor, m_ownMajor, m_ownMinor) ? Outcome::Newer : Outcome::Current;
}

void UpgradeCheck::Finish(Outcome outcome) {
    m_deadline.stop();
    if (m_reply) {
        disconnect(m_reply, nullptr, this, nullptr);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    m_running = false;
    emit Finished(outcome);
}
