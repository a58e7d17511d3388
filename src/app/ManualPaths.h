#pragma once

#include <QString>
#include <QStringList>

// Where the HTML manual is looked for, relative to the folder of the running
// program: <dir>/../share/ampdesk/manual/index.html (the build tree, build/bin
// beside build/share, and an installed program in <prefix>/bin), then
// <dir>/../share/doc/ampdesk/manual/index.html (an earlier installation).
namespace ManualPaths {

inline const QString kIndex = QStringLiteral("index.html");

QStringList Candidates(const QString& executableDir);
// The first candidate that is a readable file, or empty.
QString Find(const QStringList& candidates);

}  // namespace ManualPaths
