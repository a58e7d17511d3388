// Settings files: LoadFromFile, SaveToFile and a reload must agree, whatever
// the file holds, and the store's look-ups must answer as their scans do.
//
// LoadFromFile is reading the file plus LoadFromBytes, SaveToFile is
// SettingsFileBytes plus writing them: all that depends on what the file holds
// is in the two middle parts, and the round trip through them is checked for
// every input. Reading and writing a file do the same whatever it holds and
// cost seven file operations, three times the rest together, so one input in
// eight (chosen by its hash, so that a finding replays) also makes the trip
// through real files, which must give what the trip in memory gave.

#include "ByteText.h"
#include "SettingsFile.h"
#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QHashFunctions>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "fuzz_settings_file: %s\n", what);
        std::abort();
    }
}

// A folder in memory where there is one, so that the file system is not the
// bottleneck.
const QTemporaryDir& Folder() {
    static const QTemporaryDir folder((QDir(QStringLiteral("/dev/shm")).exists()
                                           ? QStringLiteral("/dev/shm")
                                           : QDir::tempPath()) +
                                      QStringLiteral("/ampdesk-fuzz-XXXXXX"));
    return folder;
}

constexpr std::size_t kKeysChecked = 16;

// The first lines with a key, cut once into key and value for the scans below.
// A scan for one of their keys, or a part of it, stops at the latest on that
// key's own line, so the lines after them are never reached.
struct SplitLines {
    explicit SplitLines(const SettingsStore& store) {
        for (const QByteArray& line : store.Lines()) {
            QByteArray key;
            QByteArray value;
            if (keysAndValues.size() == kKeysChecked)
                break;
            if (SplitLine(line, &key, &value))
                keysAndValues.emplace_back(std::move(key), std::move(value));
        }
    }
    std::vector<std::pair<QByteArray, QByteArray>> keysAndValues;
};

QByteArray ScanGetValue(const SplitLines& lines, const QByteArray& key) {
    for (const auto& [lineKey, value] : lines.keysAndValues) {
        if (lineKey.contains(key))
            return value;
    }
    return SettingsStore::kError;
}

constexpr size_t kFileTripEvery = 8;

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    Check(file.open(QIODevice::ReadOnly | QIODevice::Unbuffered),
          "a saved file cannot be read back");
    return file.readAll();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered),
          "cannot write the input");
    Check(file.write(bytes) == bytes.size(), "short write of the input");
}

// The trip through files: the same store, description and saved bytes as the
// trip in memory found for the input.
void CheckFileTrip(const QByteArray& input, const LoadResult& loaded, const SettingsStore& store,
                   const QByteArray& savedBytes) {
    Check(Folder().isValid(), "no temporary folder");
    const QString inputPath = Folder().filePath(QStringLiteral("input.kvx"));
    const QString savedPath = Folder().filePath(QStringLiteral("saved.kvx"));
    WriteFile(inputPath, input);

    SettingsStore fromFile;
    fromFile.Append("Before=load");
    const LoadResult first = LoadFromFile(fromFile, inputPath);
    Check(first.opened, "the input could not be opened");
    Check(first.recognised == loaded.recognised && first.description == loaded.description,
          "the file loaded otherwise than its bytes");
    Check(fromFile.Lines() == store.Lines(), "the file's store differs from its bytes' store");
    if (!first.recognised)
        return;

    Check(SaveToFile(fromFile, savedPath, QByteArray()).ok, "saving failed");
    Check(ReadFile(savedPath) == savedBytes, "the saved file differs from the bytes to save");
    SettingsStore reloaded;
    const LoadResult second = LoadFromFile(reloaded, savedPath);
    Check(second.recognised, "a saved file is not recognised");
    Check(second.description.isEmpty(), "the empty description came back non-empty");
    Check(reloaded.Lines() == store.Lines(), "the reloaded store differs");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    SettingsStore store;
    store.Append("Before=load");
    const LoadResult first = LoadFromBytes(store, input);
    QByteArray savedBytes;
    if (!first.recognised) {
        Check(store.LineCount() == 1 && store.Lines()[0] == "Before=load",
              "an unrecognised file changed the store");
    } else {
        // The first keys the file brought are found as the scan finds them, and
        // written where the scan writes them.
        const SplitLines split(store);
        for (const auto& [key, value] : split.keysAndValues) {
            Check(store.GetValue(key) == ScanGetValue(split, key),
                  "GetValue differs from its scan");
            Check(store.GetValue(key.left(3)) == ScanGetValue(split, key.left(3)),
                  "GetValue of a part differs from its scan");
        }

        // The console saves with an empty description.
        savedBytes = SettingsFileBytes(store, QByteArray());
        SettingsStore reloaded;
        const LoadResult second = LoadFromBytes(reloaded, savedBytes);
        Check(second.recognised, "saved bytes are not recognised");
        Check(second.description.isEmpty(), "the empty description came back non-empty");
        Check(reloaded.Lines() == store.Lines(), "the reloaded store differs");
        Check(SettingsFileBytes(reloaded, QByteArray()) == savedBytes,
              "the second save differs from the first");
    }

    if (qHashBits(data, size, 0) % kFileTripEvery == 0)
        CheckFileTrip(input, first, store, savedBytes);
    return 0;
}
