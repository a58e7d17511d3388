#pragma once

// The preset editor's rules, apart from its window: what a band choice does to
// the entry fields, how the channel arrows step, which presets the list shows
// and what a move sends.

#include <QByteArray>
#include <QList>

#include <functional>
#include <optional>
#include <vector>

namespace PresetRules {

// Positions of the "Band" list, in this order.
inline constexpr int kAmPosition = 0;
inline constexpr int kFmPosition = 1;
inline constexpr int kDabPosition = 2;
inline constexpr int kXmPosition = 3;
inline constexpr const char* kBandTexts[] = {"AM", "FM", "DAB", "XM"};
inline constexpr int kBandCount = 4;

// The band list's position for a band text, -1 for none of them.
int BandPosition(const QByteArray& bandText);

// The entry fields after a band is chosen.
struct BandRules {
    bool nameEnabled = true;
    bool muteEnabled = true;
    bool channelEnabled = true;
    bool addEnabled = true;
    bool clearName = false;  // FM: a name is typed afresh when FM is chosen from another band
    QByteArray channel;      // the channel text, reset when out of the band's range
};
BandRules ApplyBandRules(int bandPosition, const QByteArray& channel, int amStep);

// One press of the channel arrows: FM by 0.05 MHz within 87.50..108.50, AM by
// the step within its band, XM by 1 within 0..255; at a limit the value is
// shown again unchanged.
QByteArray StepChannel(const QByteArray& bandText, const QByteArray& channel, bool up, int amStep);

// One listed preset: the texts of the grid's five columns.
struct PresetRow {
    int number = 0;
    QByteArray band;
    QByteArray channel;
    QByteArray mute;
    QByteArray name;  // bytes, as the record holds them
};

using ValueReader = std::function<QByteArray(const QByteArray& key)>;

int AmStepFrom(const ValueReader& getValue);
// The non-empty presets 1..40 in ascending number.
std::vector<PresetRow> ListPresets(const ValueReader& getValue, int amStep);

// Exchanging preset n with its neighbour: the two set commands in the order
// they go out, and how the selected row follows the moved preset (it keeps its
// row when the neighbour was empty and so had none).
struct PresetMove {
    QList<QByteArray> commands;
    int selectedRowChange = 0;
};
// Up: n with n - 1, for 2 <= n <= 40; down: n with n + 1, for 1 <= n <= 39.
std::optional<PresetMove> MovePreset(int number, bool up, const ValueReader& getValue);

}  // namespace PresetRules
