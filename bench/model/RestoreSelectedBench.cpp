// The compare window's "Restore Selected" of five settings against the
// simulator at 115200 baud: it should cost the five lines' wire time, not the
// whole file's (about 3 s for 584 lines).

#include "CompareModel.h"
#include "ReceiverSession.h"
#include "SimProcess.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>

namespace {

// Five settings of different pages, each set to another value than the read gave.
struct Change {
    const char* key;
    const char* value;
    const char* otherwise;  // when the receiver holds `value` already
};
constexpr Change kChanges[] = {
    {"Main.Bass", "6", "-6"},           {"Main.Treble", "4", "-4"},
    {"Main.Dimmer", "On", "Off"},       {"Main.Speaker.Center.Config", "Small", "Large"},
    {"Main.VFD.Display", "Temp", "On"},
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SimProcess sim({"--model", "ZA11", "--baud", "115200", "--latency-ms", "0"});
    if (!sim.IsRunning()) {
        std::fprintf(stderr, "bench_restore_selected: the receiver simulator did not start\n");
        return 1;
    }
    ReceiverSession session;
    session.SetKeepAliveEnabled(false);
    if (QCoro::waitFor(session.OpenPort(sim.LinkPath())) != ReceiverIdentity::Outcome::Known ||
        !QCoro::waitFor(session.ReadAll(QStringLiteral("Reading")))) {
        std::fprintf(stderr, "bench_restore_selected: no receiver read\n");
        return 1;
    }

    SettingsStore file;
    for (const QByteArray& line : session.Store().Lines())
        file.Append(line);
    for (const Change& change : kChanges) {
        const bool held = session.Store().GetValue(change.key) == change.value;
        file.SetValue(change.key, held ? change.otherwise : change.value);
    }
    CompareModel model;
    model.Compare(file, session.Store(), session.ModelBit());
    model.CheckShown(true);
    if (model.CheckedCount() != static_cast<int>(std::size(kChanges)))
        std::fprintf(stderr, "bench_restore_selected: %d rows checked\n", model.CheckedCount());

    const auto start = std::chrono::steady_clock::now();
    const RestoreResult result = QCoro::waitFor(session.Restore(model.CheckedLines()));
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (result.Failed() != 0)
        std::fprintf(stderr, "bench_restore_selected: %d lines failed\n", result.Failed());
    std::printf("restore_selected_5_ms: %.2f\n", ms);
    return 0;
}
