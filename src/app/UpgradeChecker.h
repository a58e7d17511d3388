#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// Asks the maker's web site whether a newer version of the program exists.
// The HTTP side lives in a module of its own that is loaded on the first
// check, so the program does not carry the network libraries until then.
class UpgradeChecker {
public:
    enum class Outcome {
        Newer,         // the version file names a newer version
        Current,       // it names our version or an older one
        NoVersion,     // the server answered, but with an error or without a version
        NoConnection,  // no answer: name, connection or network failure, or time-out
    };
    using FinishedHook = std::function<void(Outcome)>;

    static constexpr int kTimeoutMs = 10000;
    static inline const QString kVersionPath =
        QStringLiteral("/support/code/ORVA_Ampdesk_Version.txt");
    static inline const QString kDownloadPath = QStringLiteral("/software");

    virtual ~UpgradeChecker() = default;

    // Starts a check against the host (name or address, optionally ":port");
    // the outcome goes to the hook, never before Start returns. False, and
    // nothing happens, while a check runs.
    virtual bool Start(const QString& host) = 0;
    virtual bool IsRunning() const = 0;
    virtual void SetTimeoutMs(int milliseconds) = 0;

    // http://host/path; invalid when the host is not a host with an optional port.
    static QUrl SiteUrl(const QString& host, const QString& path);
};

// The name the module exports its factory under, and the factory's type.
inline constexpr char kCreateUpgradeCheckerSymbol[] = "AmpdeskCreateUpgradeChecker";
using CreateUpgradeCheckerFunction = UpgradeChecker* (*)(int ownMajor, int ownMinor,
                                                         UpgradeChecker::FinishedHook finished);
