#include "LocalHttpServer.h"
#include "UpgradeCheck.h"

#include <QNetworkProxy>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <ostream>

namespace {

using Outcome = UpgradeCheck::Outcome;

struct ServerCase {
    const char* name;
    int status;  // LocalHttpServer::kSilent: never answers
    QByteArray body;
    Outcome outcome;
    bool endless = false;  // the body repeats for ever
};

void PrintTo(const ServerCase& c, std::ostream* os) {
    *os << c.name;
}

const ServerCase kServerCases[] = {
    {"NewerMinor", 200, "Version=1.3\r\n", Outcome::Newer},
    {"NewerMajor", 200, "Version=2.0\nsecond line\n", Outcome::Newer},
    {"Same", 200, "Version=1.2", Outcome::Current},
    {"OlderMinor", 200, "Version=1.1\r\n", Outcome::Current},
    {"OnlyFirstLineCounts", 200, "Hello\nVersion=9.9\n", Outcome::NoVersion},
    {"EmptyFile", 200, "", Outcome::NoVersion},
    {"NotFound", 404, "Version=9.9\n", Outcome::NoVersion},
    {"EndlessNotFoundIsNotRead", 404, "Not found. ", Outcome::NoVersion, true},
    {"EndlessFirstLineIsCut", 200, QByteArray(100000, '7'), Outcome::NoVersion},
    {"NeverAnswers", LocalHttpServer::kSilent, "", Outcome::NoConnection},
};

class UpgradeCheckAgainstServer : public ::testing::TestWithParam<ServerCase> {
protected:
    UpgradeCheckAgainstServer() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }
};

// Runs one check to its end and gives the outcome.
Outcome RunCheck(UpgradeCheck& check, const QString& host) {
    QSignalSpy finished(&check, &UpgradeCheck::Finished);
    EXPECT_TRUE(check.Start(host));
    EXPECT_TRUE(check.IsRunning());
    EXPECT_TRUE(finished.wait(5000));
    EXPECT_FALSE(check.IsRunning());
    return finished.isEmpty() ? Outcome::NoConnection : finished.at(0).at(0).value<Outcome>();
}

TEST_P(UpgradeCheckAgainstServer, Outcome) {
    const ServerCase& c = GetParam();
    LocalHttpServer server(c.status, c.body, c.endless);
    UpgradeCheck check(1, 2);
    check.SetTimeoutMs(500);
    EXPECT_EQ(RunCheck(check, server.Host()), c.outcome);
    EXPECT_EQ(server.Requests(),
              QByteArrayList{"GET /support/code/ORVA_Ampdesk_Version.txt HTTP/1.1"});
}

INSTANTIATE_TEST_SUITE_P(Upgrade, UpgradeCheckAgainstServer, ::testing::ValuesIn(kServerCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UpgradeCheck, RefusedConnectionIsNoConnection) {
    UpgradeCheck check(1, 2);
    const QString host = QStringLiteral("127.0.0.1:%1").arg(LocalHttpServer::RefusedPort());
    EXPECT_EQ(RunCheck(check, host), Outcome::NoConnection);
}

TEST(UpgradeCheck, MalformedHostIsNoConnection) {
    UpgradeCheck check(1, 2);
    EXPECT_EQ(RunCheck(check, QStringLiteral("no such/host")), Outcome::NoConnection);
}

TEST(UpgradeCheck, SecondStartWhileRunningIsRefused) {
    LocalHttpServer server(LocalHttpServer::kSilent);
    UpgradeCheck check(1, 2);
    check.SetTimeoutMs(300);
    QSignalSpy finished(&check, &UpgradeCheck::Finished);
    ASSERT_TRUE(check.Start(server.Host()));
    EXPECT_FALSE(check.Start(server.Host()));
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(server.Requests().size(), 1);
}

struct UrlCase {
    const char* host;
    const char* url;  // empty: refused
};

TEST(UpgradeCheck, SiteUrlTakesHostAndOptionalPort) {
    const UrlCase cases[] = {
        {"www.velmar.com", "http://www.velmar.com/software"},
        {"127.0.0.1:8080", "http://127.0.0.1:8080/software"},
        {" updates.example.org ", "http://updates.example.org/software"},
        {"[::1]:81", "http://[::1]:81/software"},
        {"", ""},
        {"user@host", ""},
        {"host:port", ""},
    };
    for (const UrlCase& c : cases) {
        EXPECT_EQ(UpgradeCheck::SiteUrl(c.host, UpgradeCheck::kDownloadPath).toString(),
                  QString::fromLatin1(c.url))
            << c.host;
    }
}

}  // namespace
