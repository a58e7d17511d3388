#include "SessionState.h"

#include "ReceiverShape.h"

QByteArray ViewSectionOf(int viewIndex) {
    if (viewIndex == 0)
        return QByteArrayLiteral("Main");
    if (viewIndex >= 1 && viewIndex <= kAvPresetCount)
        return "Preset" + QByteArray::number(viewIndex);
    return QByteArrayLiteral("Unknown");
}

QByteArray RedirectKeyToView(const QByteArray& key, int viewIndex) {
    if (viewIndex == 0)
        return key;
    const qsizetype dot = key.indexOf('.');
    const QByteArray section = dot < 0 ? key : key.left(dot);
    // An empty section would make the replacement insert the view between
    // every byte of the key.
    if (section.isEmpty())
        return key;
    QByteArray redirected = key;
    redirected.replace(section, ViewSectionOf(viewIndex));
    return redirected;
}
