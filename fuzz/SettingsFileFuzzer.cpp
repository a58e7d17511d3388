// Settings files: LoadFromFile, SaveToFile and a reload must agree, whatever
// the file holds, and the store's look-ups must answer as their scans do.

#include "ByteText.h"
#include "SettingsFile.h"
#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

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

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    Check(file.open(QIODevice::ReadOnly), "a saved file cannot be read back");
    return file.readAll();
}

QByteArray ScanGetValue(const SettingsStore& store, const QByteArray& key) {
    QByteArray lineKey;
    QByteArray value;
    for (const QByteArray& line : store.Lines()) {
        if (SplitLine(line, &lineKey, &value) && lineKey.contains(key))
            return value;
    }
    return SettingsStore::kError;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Check(Folder().isValid(), "no temporary folder");
    const QString input = Folder().filePath(QStringLiteral("input.kvx"));
    const QString saved = Folder().filePath(QStringLiteral("saved.kvx"));
    {
        QFile file(input);
        Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the input");
        Check(file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) ==
                  static_cast<qint64>(size),
              "short write of the input");
    }

    SettingsStore store;
    store.Append("Before=load");
    const LoadResult first = LoadFromFile(store, input);
    Check(first.opened, "the input could not be opened");
    if (!first.recognised) {
        Check(store.LineCount() == 1 && store.Lines()[0] == "Before=load",
              "an unrecognised file changed the store");
        return 0;
    }

    // Every key the file brought is found as the scan finds it, and written
    // where the scan writes it.
    int checked = 0;
    for (const QByteArray& line : std::vector<QByteArray>(store.Lines())) {
        QByteArray key;
        if (!SplitLine(line, &key, nullptr) || ++checked > 16)
            continue;
        Check(store.GetValue(key) == ScanGetValue(store, key), "GetValue differs from its scan");
        Check(store.GetValue(key.left(3)) == ScanGetValue(store, key.left(3)),
              "GetValue of a part differs from its scan");
    }

    // The console saves with an empty description.
    const SaveResult save = SaveToFile(store, saved, QByteArray());
    Check(save.ok, "saving failed");
    const QByteArray savedBytes = ReadFile(saved);

    SettingsStore reloaded;
    const LoadResult second = LoadFromFile(reloaded, saved);
    Check(second.recognised, "a saved file is not recognised");
    Check(second.description.isEmpty(), "the empty description came back non-empty");
    Check(reloaded.Lines() == store.Lines(), "the reloaded store differs");

    Check(SaveToFile(reloaded, saved, QByteArray()).ok, "saving again failed");
    Check(ReadFile(saved) == savedBytes, "the second save differs from the first");
    return 0;
}
