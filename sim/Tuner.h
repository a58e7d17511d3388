#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

class ReceiverState;

// The receiver's tuner: tuning steps on the current band, band changes and the
// recall of stored presets. Each operation changes the state and returns the
// status lines ("Key=value") the unit reports for the change.
namespace Tuner {

// A stored preset record's band ("AM", "FM", "XM") and the frequency or channel
// it holds, in the form of the band's status line ("87.50", "1000", "12").
struct Station {
    QByteArray band;
    QByteArray channel;
};
std::optional<Station> DecodeRecord(const QByteArray& record, int amStep);

int AmStep(const ReceiverState& state);

// "Main.IR=212" tunes up, "Main.IR=211" down by the band's step.
QList<QByteArray> Tune(ReceiverState& state, bool up);
QList<QByteArray> SelectBand(ReceiverState& state, const QByteArray& band);
// The next or previous stored preset (empty records are skipped), tuned.
QList<QByteArray> StepPreset(ReceiverState& state, bool up);
// Recalls preset `number` (1..40) and tunes to it when it holds a station.
QList<QByteArray> RecallPreset(ReceiverState& state, int number);

}  // namespace Tuner
