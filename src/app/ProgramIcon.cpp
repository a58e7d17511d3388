#include "ProgramIcon.h"

QIcon ProgramIcon() {
    // The icon lives in a static library; naming its resource keeps the linker from dropping it.
    Q_INIT_RESOURCE(ampdesk);
    return QIcon(QStringLiteral(":/ampdesk.svg"));
}
