#include "CliSession.h"

#include "CliOptions.h"
#include "PortDiagnostics.h"
#include "PortNames.h"
#include "Profile.h"
#include "ReceiverIdentity.h"
#include "SettingsStore.h"

#include <QStringList>

namespace {

const QString kAutoDetect = QStringLiteral("Auto-Detect");

}  // namespace

CliSession::CliSession(std::FILE* errors) : m_errors(errors), m_channel(m_port) {
    QObject::connect(&m_port, &SerialPort::DeviceLost, [this](const QString& reason) {
        m_lostReason = reason;
        m_port.Close();
    });
    m_channel.SetStatusHook(
        [this](const QByteArray& key, const QByteArray& value, const QByteArray&) {
            if (m_statusTarget != nullptr)
                m_statusTarget->SetValue(key, value);
        });
}

CliSession::~CliSession() {
    m_channel.SetStatusHook({});
    m_port.Close();
}

QString PrintableMessage(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        const qsizetype cut = line.size() > kMaxMessageLine ? line.size() - kMaxMessageLine : 0;
        QString shown;
        for (const QChar c : QStringView(line).first(line.size() - cut)) {
            const char16_t code = c.unicode();
            if (code == u'\r')
                shown += QStringLiteral("\\r");
            else if (code == u'\t')
                shown += QStringLiteral("\\t");
            else if (code < 0x20 || (code >= 0x7f && code < 0xa0))
                shown += QStringLiteral("\\x%1").arg(int(code), 2, 16, QLatin1Char('0'));
            else
                shown += c;
        }
        if (cut > 0)
            shown += QStringLiteral("... (%1 more characters)").arg(cut);
        line = shown;
    }
    return lines.join(QLatin1Char('\n'));
}

void CliSession::Error(const QString& text) const {
    std::fprintf(m_errors, "ampdesk-cli: %s\n", PrintableMessage(text).toLocal8Bit().constData());
    std::fflush(m_errors);
}

int CliSession::Open(const QString& portName) {
    if (portName.compare(kAutoDetect, Qt::CaseInsensitive) == 0)
        return AutoDetect();
    switch (Try(portName)) {
        case Attempt::Known:
            return kExitOk;
        case Attempt::CannotOpen:
            return kExitCannotOpen;
        case Attempt::NoAnswer:
        case Attempt::UnknownModel:
            return kExitNoReceiver;
    }
    return kExitNoReceiver;
}

// The window's Auto-Detect: COM1..COM9, then the adapters on the machine.
int CliSession::AutoDetect() {
    bool anyOpened = false;
    const QStringList names = AutoDetectPortNames(Profile::PortsFolder(), DeviceFolders{});
    for (const QString& name : names) {
        const Attempt attempt = Try(name);
        if (attempt == Attempt::Known)
            return kExitOk;
        anyOpened = anyOpened || attempt != Attempt::CannotOpen;
    }
    Error(QStringLiteral("%1 found no receiver on %2").arg(kAutoDetect, names.join(", ")));
    return anyOpened ? kExitNoReceiver : kExitCannotOpen;
}

CliSession::Attempt CliSession::Try(const QString& portName) {
    m_portName = portName;
    m_lostReason.clear();
    const QString portsFolder = Profile::PortsFolder();
    const QString device = ResolvePortPath(portName, portsFolder);
    // The port's own message names the device; name the port too when it was
    // a COMn that stands for another path.
    const QString prefix = device == portName ? QString() : portName + QStringLiteral(": ");
    const ReceiverIdentity identity = IdentifyReceiver(m_port, m_channel, device);
    m_model = identity.model;
    m_modelBit = identity.modelBit;
    switch (identity.outcome) {
        case ReceiverIdentity::Outcome::CannotOpen: {
            Error(prefix + m_port.LastError());
            // The window's advice, where there is some beyond the reason.
            const QString advice = DescribeOpenFailure(
                {portName, device, m_port.LastErrorNumber(), m_port.LastError()}, portsFolder);
            if (advice != m_port.LastError())
                Error(advice);
            return Attempt::CannotOpen;
        }
        case ReceiverIdentity::Outcome::NoAnswer:
            Error(IsLost() ? prefix + m_lostReason
                           : QStringLiteral("no receiver answered on %1 (Main.Model? got no "
                                            "answer within %2 ms)")
                                 .arg(portName)
                                 .arg(CommandChannel::kReplyTimeoutMs));
            return Attempt::NoAnswer;
        case ReceiverIdentity::Outcome::UnknownModel:
            Error(QStringLiteral("the receiver on %1 reports the model \"%2\", which is not a "
                                 "known Velmar model")
                      .arg(portName, QString::fromLocal8Bit(m_model)));
            m_port.Close();
            return Attempt::UnknownModel;
        case ReceiverIdentity::Outcome::Known:
            return Attempt::Known;
    }
    return Attempt::NoAnswer;
}

void CliSession::FollowStatusLines(SettingsStore* store) {
    m_statusTarget = store;
}

int CliSession::CheckNotLost() const {
    if (!IsLost())
        return kExitOk;
    Error(m_lostReason);
    return kExitNoReceiver;
}
