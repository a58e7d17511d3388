#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// The Tuner page's settings as the compare list names and shows them: the
// band, the channel per band and the FM mute as the page's controls read, and
// the 40 station presets as the preset editor lists them.
namespace TunerSettings {

inline const QString kPageTitle = QStringLiteral("Tuner");

struct Shown {
    QString label;  // "Band", "Preset 12"
    int order = 0;  // within the page
    // The value as the page shows it, read with the AM step the same side holds.
    std::function<QString(const QByteArray& value, const QByteArray& amStep)> text;
};

// nullopt for a key that is not the tuner's (any letter case).
std::optional<Shown> Describe(const QByteArray& key);

}  // namespace TunerSettings
