// The preset editor's RebuildList with all 40 presets holding a station and a
// 12-character name, on a shown window (offscreen), as a preset line from the
// receiver triggers it. Prints the median of many rebuilds.

#include "GridCtrl.h"
#include "PresetEditor.h"
#include "PresetRecord.h"
#include "SettingsStore.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 301;

// FM and AM alternately, every name 12 characters long.
QByteArray FullPreset(int number) {
    const QByteArray name =
        QByteArray("STATION ") + QByteArray::number(number).rightJustified(4, '0');
    if (number % 2 == 0) {
        const QByteArray channel = QByteArray::number(88.0 + number * 0.4, 'f', 2);
        return PresetRecord::Compose("FM", channel, number % 4 == 0, name, 10);
    }
    return PresetRecord::Compose("AM", QByteArray::number(530 + number * 20), false, name, 10);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    SettingsStore store;
    store.ResetToDefaults();
    for (int n = 1; n <= PresetRecord::kPresetCount; ++n)
        store.SetValue(PresetRecord::PresetKey(n), FullPreset(n));

    PresetEditor editor;
    editor.SetHooks(
        TunerHooks{{}, [&store](const QByteArray& key) { return store.GetValue(key); }, {}});
    editor.show();
    QApplication::processEvents();
    if (editor.RowCount() != PresetRecord::kPresetCount + 1) {
        std::fprintf(stderr, "bench_preset_rebuild: %d rows listed, 41 expected\n",
                     editor.RowCount());
        return 1;
    }

    std::vector<double> milliseconds;
    milliseconds.reserve(kRuns);
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        editor.RebuildList();
        const auto end = std::chrono::steady_clock::now();
        milliseconds.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        // Paint between rebuilds, as the window does between preset lines.
        QApplication::processEvents();
    }
    std::nth_element(milliseconds.begin(), milliseconds.begin() + kRuns / 2, milliseconds.end());
    std::printf("preset_rebuild_ms: %.4f\n", milliseconds[kRuns / 2]);
    return 0;
}
