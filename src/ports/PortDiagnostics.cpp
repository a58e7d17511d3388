#include "PortDiagnostics.h"

#include "PortNames.h"
#include "SystemError.h"

#include <QFileInfo>

QString DescribeOpenFailure(const OpenFailure& failure, const QString& portsFolder) {
    const bool missing = KindOfSystemError(failure.errorNumber) == SystemErrorKind::Missing;
    // A COMn link whose adapter is unplugged: the missing thing is the adapter.
    QString device = failure.devicePath;
    const QFileInfo info(device);
    if (missing && info.isSymLink())
        device = info.symLinkTarget();

    QString text = AdviseOnDeviceError(device, failure.errorNumber);
    if (text.isEmpty())
        text = failure.errorText;
    if (text.isEmpty())
        text = QStringLiteral("%1 could not be opened").arg(failure.devicePath);
    if (missing) {
        const QString lookup = ExplainPortLookup(failure.portName, portsFolder);
        if (!lookup.isEmpty())
            text += QStringLiteral(" (%1)").arg(lookup);
    }
    return text;
}
