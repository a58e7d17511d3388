#include "UpgradeChecker.h"

QUrl UpgradeChecker::SiteUrl(const QString& host, const QString& path) {
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setAuthority(host.trimmed(), QUrl::StrictMode);
    url.setPath(path);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty())
        return {};
    return url;
}
