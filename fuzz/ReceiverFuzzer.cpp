// The receiver's side of the line: arbitrary bytes through the line cutter, the
// command channel's reply test and the status-line handling of the store.
//
// Input: up to the first CR, a command as the console would send it (its key is
// the pending key of the reply test); the rest is what the receiver sends. The
// channel's port is never opened, so no command is on the wire and every line with a
// value reaches the status-line handling; the reply test is asked beside it.

#include "ByteText.h"
#include "CommandChannel.h"
#include "LineAssembler.h"
#include "SerialPort.h"
#include "SettingsStore.h"
#include "StatusLines.h"

#include <QHash>

#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "fuzz_receiver: %s\n", what);
        std::abort();
    }
}

const SettingsStore& Defaults() {
    static const SettingsStore store = [] {
        SettingsStore defaults;
        defaults.ResetToDefaults();
        return defaults;
    }();
    return store;
}

// Position of the first default line of each key in capitals, worked out here
// without the store's own index.
const QHash<QByteArray, int>& DefaultPositions() {
    static const QHash<QByteArray, int> positions = [] {
        QHash<QByteArray, int> found;
        const std::vector<QByteArray>& lines = Defaults().Lines();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            QByteArray key;
            if (SplitLine(lines[i], &key, nullptr) && !found.contains(UpperAscii(key)))
                found.insert(UpperAscii(key), static_cast<int>(i));
        }
        return found;
    }();
    return positions;
}

struct Link {
    SerialPort port;
    CommandChannel channel{port};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype commandEnd = input.indexOf('\r');
    const QByteArray command = commandEnd < 0 ? QByteArray() : input.left(commandEnd);
    const QByteArray stream = commandEnd < 0 ? input : input.mid(commandEnd + 1);
    const QByteArray pendingKey = CommandChannel::KeyOf(command);

    SettingsStore store = Defaults();

    // OnReceiverLine is what a delivery runs.
    static Link link;
    CommandChannel& channel = link.channel;
    int terminalLines = 0;
    channel.SetLineHook([&](const CommandChannel::ReceivedLine& received) {
        ++terminalLines;
        if (!received.status || received.key.isEmpty())
            return;
        const QByteArray& key = received.key;
        const QByteArray& value = received.value;
        const QByteArray& line = received.answer;
        // Compared in place: a status flood makes thousands of these checks.
        const QByteArrayView lineView(line);
        Check(lineView.size() == key.size() + 1 + value.size() && lineView.startsWith(key) &&
                  lineView[key.size()] == '=' && lineView.endsWith(value),
              "status line split wrongly");
        const QByteArray upperKey = UpperAscii(key);
        // Had the command been on the wire, this line would have answered it.
        if (CommandChannel::Answers(upperKey, pendingKey))
            Check(line.startsWith(key) && !pendingKey.isEmpty(), "an answer without a key");
        const StatusRoute route = RouteStatusLine(store, key, value, line);
        if (route.stored)
            store.GetValue(key);  // the bound control reads the value back
        if (route.toTuner)
            Check(line.startsWith("Tuner"), "a line not beginning with Tuner reached the tuner");
        const auto position = DefaultPositions().constFind(upperKey);
        if (position != DefaultPositions().constEnd()) {
            const auto at = static_cast<std::size_t>(*position);
            const QByteArrayView stored(store.Lines()[at]);
            const QByteArrayView byDefault(Defaults().Lines()[at]);
            Check(stored.size() == key.size() + 1 + value.size() &&
                      stored.first(key.size() + 1) == byDefault.first(key.size() + 1) &&
                      stored.sliced(key.size() + 1) == value,
                  "a status line for a stored key did not land");
        }
    });

    LineAssembler assembler;
    int lines = 0;
    for (char byte : stream) {
        const std::optional<QByteArray> line = assembler.Feed(byte);
        if (!line)
            continue;
        ++lines;
        Check(line->size() < LineAssembler::kBufferSize, "line longer than 99 bytes");
        Check(!line->contains('\r') && !line->contains('\0'), "CR or NUL inside a line");
        channel.OnReceiverLine(*line);
        Check(terminalLines == lines, "a line missed the terminal");
    }
    Check(store.LineCount() == Defaults().LineCount(), "a status line added a line");
    channel.SetLineHook({});
    return 0;
}
