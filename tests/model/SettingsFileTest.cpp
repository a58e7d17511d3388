#include "DefaultSettings.h"
#include "SettingsFile.h"
#include "SettingsStore.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>
#include <functional>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString PathOf(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    // Loads the bytes into a store that starts with the defaults.
    LoadResult Load(const QByteArray& bytes) {
        const QString path = PathOf("in.kvx");
        EXPECT_TRUE(WriteAll(path, bytes));
        m_store.ResetToDefaults();
        return LoadFromFile(m_store, path);
    }

    QTemporaryDir m_dir;
    SettingsStore m_store;
};

TEST_F(SettingsFileTest, SaveAfterStartUpMatchesTheExpectedFileByteForByte) {
    m_store.ResetToDefaults();
    const QString path = PathOf("defaults.kvx");
    const SaveResult result = SaveToFile(m_store, path, QByteArray());
    ASSERT_TRUE(result.ok) << result.error.toStdString();

    const QByteArray expected = ReadAll(QStringLiteral(AMPDESK_MODEL_DATA "/defaults.kvx"));
    ASSERT_FALSE(expected.isEmpty());
    const QByteArray written = ReadAll(path);
    EXPECT_EQ(written, expected);
    EXPECT_EQ(written.count("\r\n"), 539);
    EXPECT_FALSE(written.endsWith('\n'));
}

TEST_F(SettingsFileTest, ShortSaveOverLongerFileLeavesNothingBehind) {
    const QString path = PathOf("over.kvx");
    m_store.ResetToDefaults();
    ASSERT_TRUE(SaveToFile(m_store, path, QByteArray()).ok);

    m_store.Clear();
    m_store.Append("Main.Volume=-20");
    m_store.Append("Main.Mute=Off");
    m_store.Append("Main.Power=On");
    ASSERT_TRUE(SaveToFile(m_store, path, QByteArray()).ok);
    EXPECT_EQ(ReadAll(path),
              "<ORVA Settings File>\r\n<DESCRIPTION></DESCRIPTION>\r\nMain.Volume=-20\r\n"
              "Main.Mute=Off\r\nMain.Power=On\r\n</ORVA Settings File>");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"over.kvx"});
}

TEST_F(SettingsFileTest, SavedFileLoadsBackToTheSameLines) {
    m_store.Clear();
    m_store.Append("Source1.Name=Caf\xe9 = bar ");
    m_store.Append("");
    m_store.Append("NoEquals");
    const QString path = PathOf("round.kvx");
    ASSERT_TRUE(SaveToFile(m_store, path, "a note").ok);

    SettingsStore loaded;
    const LoadResult result = LoadFromFile(loaded, path);
    EXPECT_TRUE(result.opened);
    EXPECT_TRUE(result.recognised);
    EXPECT_EQ(result.description, "a note");
    EXPECT_EQ(loaded.Lines(), m_store.Lines());
}

TEST_F(SettingsFileTest, MagicLineIsComparedWholeIgnoringCase) {
    struct Row {
        const char* first;
        bool recognised;
    };
    const Row rows[] = {
        {"<ORVA Settings File>", true},   {"<orva settings file>", true},
        {"<ORVA Settings File> ", false}, {" <ORVA Settings File>", false},
        {"<ORVA Settings File", false},   {"", false},
    };
    for (const Row& row : rows) {
        const LoadResult result = Load(QByteArray(row.first) + "\r\nMain.Volume=-5\r\n");
        EXPECT_TRUE(result.opened) << row.first;
        EXPECT_EQ(result.recognised, row.recognised) << row.first;
        // No end line: a save cut short.
        EXPECT_EQ(result.incomplete, row.recognised) << row.first;
        if (row.recognised) {
            EXPECT_EQ(m_store.Lines(), std::vector<QByteArray>{"Main.Volume=-5"}) << row.first;
        } else {
            EXPECT_EQ(m_store.Lines(), DefaultLines()) << row.first;
        }
    }
}

TEST_F(SettingsFileTest, EmptyOrMissingFileLeavesStoreUntouched) {
    const LoadResult empty = Load(QByteArray());
    EXPECT_TRUE(empty.opened);
    EXPECT_FALSE(empty.recognised);
    EXPECT_EQ(m_store.LineCount(), 537);

    const LoadResult missing = LoadFromFile(m_store, PathOf("absent.kvx"));
    EXPECT_FALSE(missing.opened);
    EXPECT_EQ(m_store.LineCount(), 537);
}

TEST_F(SettingsFileTest, OversizedFileIsRefusedBeforeReading) {
    const QString path = PathOf("huge.kvx");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.write("<ORVA Settings File>\r\nMain.Volume=-5\r\n") > 0);
    // Sparse: the size is there without the disk space.
    ASSERT_TRUE(file.resize(kMaxSettingsFileBytes + 1));
    file.close();
    m_store.ResetToDefaults();
    const LoadResult result = LoadFromFile(m_store, path);
    EXPECT_TRUE(result.opened);
    EXPECT_TRUE(result.tooLarge);
    EXPECT_FALSE(result.recognised);
    EXPECT_EQ(m_store.Lines(), DefaultLines());
}

// Devices report size 0 and never end, a pipe without a writer would wait for
// ever, and a file of line breaks costs a store line per byte: none is read.
TEST_F(SettingsFileTest, WhatIsNoSettingsFileIsRefusedWithoutReadingIt) {
    const QString fifo = PathOf("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", PathOf("zero.kvx")));
    const QString breaks = PathOf("breaks.kvx");
    ASSERT_TRUE(WriteAll(breaks, "<ORVA Settings File>" + QByteArray(kMaxSettingsFileLines, '\n')));
    const struct {
        QString path;
        bool notRegular;
    } rows[] = {{"/dev/zero", true},
                {PathOf("zero.kvx"), true},
                {fifo, true},
                {m_dir.path(), true},
                {breaks, false}};
    for (const auto& row : rows) {
        m_store.ResetToDefaults();
        const LoadResult result = LoadFromFile(m_store, row.path);
        EXPECT_TRUE(result.opened) << qPrintable(row.path);
        EXPECT_EQ(result.notRegular, row.notRegular) << qPrintable(row.path);
        EXPECT_EQ(result.tooLarge, !row.notRegular) << qPrintable(row.path);
        EXPECT_EQ(m_store.Lines(), DefaultLines()) << qPrintable(row.path);
    }
}

TEST_F(SettingsFileTest, DescriptionLineRules) {
    struct Row {
        const char* line;
        const char* description;  // nullptr: the line goes into the store
    };
    const Row rows[] = {
        {"<DESCRIPTION>living room</DESCRIPTION>", "living room"},
        {"<DESCRIPTION>a/b/c</DESCRIPTION>", "abc"},
        {"<description>x</description>", "<description>x<description>"},
        {"<Description>x</DESCRIPTION>", "<Description>x"},
        {"<DESCRIPTION></DESCRIPTION>", ""},
        {"<DESCRIPTION>", nullptr},
        {"<DESCRIPTION>x</DESCRIPTION> ", nullptr},
        {"x<DESCRIPTION></DESCRIPTION>", nullptr},
    };
    for (const Row& row : rows) {
        const LoadResult result =
            Load("<ORVA Settings File>\r\n" + QByteArray(row.line) + "\r\n</ORVA Settings File>");
        if (row.description != nullptr) {
            EXPECT_EQ(result.description, row.description) << row.line;
            EXPECT_TRUE(m_store.IsEmpty()) << row.line;
        } else {
            EXPECT_EQ(result.description, "") << row.line;
            EXPECT_EQ(m_store.Lines(), std::vector<QByteArray>{row.line}) << row.line;
        }
    }
}

TEST_F(SettingsFileTest, LaterDescriptionReplacesEarlierOne) {
    const LoadResult result = Load(
        "<ORVA Settings File>\n<DESCRIPTION>one</DESCRIPTION>\n<DESCRIPTION>two</DESCRIPTION>\n");
    EXPECT_EQ(result.description, "two");
}

TEST_F(SettingsFileTest, LinesAfterEndLineAreStillRead) {
    const LoadResult result = Load(
        "<ORVA Settings File>\r\n<DESCRIPTION></DESCRIPTION>\r\nMain.Mute=On\r\n"
        "</ORVA Settings File>\r\nMain.Power=Off\r\nx</ORVA Settings File>x\r\nlast");
    EXPECT_TRUE(result.recognised);
    EXPECT_FALSE(result.incomplete);
    EXPECT_EQ(m_store.Lines(), (std::vector<QByteArray>{"Main.Mute=On", "Main.Power=Off", "last"}));
}

TEST_F(SettingsFileTest, LfAndCrLfLineBreaksBothRead) {
    Load("<ORVA Settings File>\nA=1\r\nB=2\n\r\nC=3\rD\n");
    EXPECT_EQ(m_store.Lines(), (std::vector<QByteArray>{"A=1", "B=2", "", "C=3\rD"}));
}

TEST_F(SettingsFileTest, SaveIntoMissingFolderFailsWithTheFileAndReason) {
    const QString blocker = PathOf("plain-file");
    ASSERT_TRUE(WriteAll(blocker, "x"));
    m_store.ResetToDefaults();
    const QString path = blocker + QStringLiteral("/settings.kvx");
    const SaveResult result = SaveToFile(m_store, path, QByteArray());
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(path)) << result.error.toStdString();
    EXPECT_EQ(ReadAll(blocker), "x");
}

// A write that fails half-way (here: the file size limit, which binds root as
// well) must leave the previous file as it was and say so, whether it is
// replaced or, having a second name, written in place.
TEST_F(SettingsFileTest, FailedSaveLeavesTheOldFileIntact) {
    const QString path = PathOf("keep.kvx");
    const QByteArray old =
        "<ORVA Settings File>\r\n<DESCRIPTION></DESCRIPTION>\r\n"
        "Main.Volume=-7\r\n</ORVA Settings File>";
    for (const bool hardLinked : {false, true}) {
        ASSERT_TRUE(WriteAll(path, old));
        if (hardLinked) {
            ASSERT_EQ(::link(QFile::encodeName(path).constData(),
                             QFile::encodeName(PathOf("other.kvx")).constData()),
                      0);
        }
        m_store.ResetToDefaults();

        rlimit saved{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 4096;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const SaveResult result = SaveToFile(m_store, path, QByteArray());
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        EXPECT_FALSE(result.ok) << hardLinked;
        EXPECT_TRUE(result.error.contains(path)) << result.error.toStdString();
        EXPECT_EQ(ReadAll(path), old) << hardLinked;
    }
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), (QStringList{"keep.kvx", "other.kvx"}));
}

// In /tmp and the like a link is followed only as the kernel would: another
// user's link to a file of ours must not make the save write that file.
TEST_F(SettingsFileTest, AnotherUsersLinkInASharedFolderIsNotFollowed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "a link of another user needs root";
    {
        const QString shared = PathOf("shared");
        ASSERT_TRUE(QDir(m_dir.path()).mkdir("shared"));
        ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
        ASSERT_TRUE(WriteAll(PathOf("secret"), "secret"));
        const QString link = shared + "/backup.kvx";
        ASSERT_TRUE(QFile::link(PathOf("secret"), link));
        ASSERT_EQ(::lchown(QFile::encodeName(link).constData(), 65534, 65534), 0);
        m_store.ResetToDefaults();
        const SaveResult result = SaveToFile(m_store, link, QByteArray());
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.error.contains(link)) << result.error.toStdString();
        EXPECT_EQ(ReadAll(PathOf("secret")), "secret");
    }
}

// What a save must do to the thing at the chosen path: replace a plain file of
// ours safely, and otherwise write into what is there, keeping its kind, its
// links and its owner.
struct SaveTargetCase {
    const char* name;
    bool needsRoot;     // chown to another user
    bool needsNonRoot;  // root may write anywhere
    // Prepares the folder and returns the path the user picks.
    std::function<QString(const QString& dir)> prepare;
    // What must hold afterwards, besides a successful save.
    std::function<void(const QString& dir, const QByteArray& saved)> check;
};

void PrintTo(const SaveTargetCase& c, std::ostream* os) {
    *os << c.name;
}

struct stat StatOf(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0) << qPrintable(path);
    return info;
}

const SaveTargetCase kSaveTargets[] = {
    {"PlainFileKeepsItsPermissions", false, false,
     [](const QString& dir) {
         const QString path = dir + "/plain.kvx";
         WriteAll(path, "old");
         ::chmod(QFile::encodeName(path).constData(), 0640);
         return path;
     },
     [](const QString& dir, const QByteArray& saved) {
         EXPECT_EQ(ReadAll(dir + "/plain.kvx"), saved);
         EXPECT_EQ(StatOf(dir + "/plain.kvx").st_mode & 07777, 0640u);
     }},
    {"SymbolicLinkStaysALinkAndItsTargetIsWritten", false, false,
     [](const QString& dir) {
         QDir(dir).mkdir("real");
         WriteAll(dir + "/real/target.kvx", "old");
         QFile::link(dir + "/real/target.kvx", dir + "/link.kvx");
         return dir + "/link.kvx";
     },
     [](const QString& dir, const QByteArray& saved) {
         EXPECT_TRUE(S_ISLNK(StatOf(dir + "/link.kvx").st_mode));
         EXPECT_EQ(ReadAll(dir + "/real/target.kvx"), saved);
     }},
    {"HardLinkedFileKeepsItsOtherName", false, false,
     [](const QString& dir) {
         WriteAll(dir + "/one.kvx", "old");
         EXPECT_EQ(::link(QFile::encodeName(dir + "/one.kvx").constData(),
                          QFile::encodeName(dir + "/two.kvx").constData()),
                   0);
         return dir + "/one.kvx";
     },
     [](const QString& dir, const QByteArray& saved) {
         EXPECT_EQ(ReadAll(dir + "/two.kvx"), saved);
         EXPECT_EQ(StatOf(dir + "/one.kvx").st_ino, StatOf(dir + "/two.kvx").st_ino);
     }},
    {"AnotherUsersFileKeepsItsOwner", true, false,
     [](const QString& dir) {
         WriteAll(dir + "/theirs.kvx", "old");
         EXPECT_EQ(::chown(QFile::encodeName(dir + "/theirs.kvx").constData(), 65534, 65534), 0);
         return dir + "/theirs.kvx";
     },
     [](const QString& dir, const QByteArray& saved) {
         EXPECT_EQ(ReadAll(dir + "/theirs.kvx"), saved);
         EXPECT_EQ(StatOf(dir + "/theirs.kvx").st_uid, 65534u);
     }},
    {"PipeIsWrittenNotReplaced", false, false,
     [](const QString& dir) {
         ::mkfifo(QFile::encodeName(dir + "/pipe").constData(), 0600);
         return dir + "/pipe";
     },
     [](const QString& dir, const QByteArray&) {
         EXPECT_TRUE(S_ISFIFO(StatOf(dir + "/pipe").st_mode));
     }},
    {"WritableFileInReadOnlyFolderIsSaved", false, true,
     [](const QString& dir) {
         QDir(dir).mkdir("locked");
         WriteAll(dir + "/locked/file.kvx", "old");
         ::chmod(QFile::encodeName(dir + "/locked").constData(), 0555);
         return dir + "/locked/file.kvx";
     },
     [](const QString& dir, const QByteArray& saved) {
         EXPECT_EQ(ReadAll(dir + "/locked/file.kvx"), saved);
         ::chmod(QFile::encodeName(dir + "/locked").constData(), 0755);
     }},
};

class SaveTarget : public SettingsFileTest, public ::testing::WithParamInterface<SaveTargetCase> {};

TEST_P(SaveTarget, IsWrittenWithoutBeingReplaced) {
    const SaveTargetCase& c = GetParam();
    if (c.needsRoot && ::geteuid() != 0)
        GTEST_SKIP() << "changing a file's owner needs root";
    if (c.needsNonRoot && ::geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder";
    const QString path = c.prepare(m_dir.path());
    // A pipe needs a reader, or the save would rightly fail.
    const int reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
    const bool isPipe = S_ISFIFO(StatOf(path).st_mode);
    if (!isPipe && reader >= 0)
        ::close(reader);

    m_store.Clear();
    m_store.Append("Main.Volume=-20");
    const SaveResult result = SaveToFile(m_store, path, QByteArray());
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    const QByteArray saved =
        "<ORVA Settings File>\r\n<DESCRIPTION></DESCRIPTION>\r\nMain.Volume=-20\r\n"
        "</ORVA Settings File>";
    if (isPipe) {
        char buffer[256] = {};
        const ssize_t count = ::read(reader, buffer, sizeof buffer);
        ::close(reader);
        EXPECT_EQ(QByteArray(buffer, count > 0 ? count : 0), saved);
    }
    c.check(m_dir.path(), saved);
}

INSTANTIATE_TEST_SUITE_P(Rows, SaveTarget, ::testing::ValuesIn(kSaveTargets),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsFileTest, PipeWithoutReaderFailsInsteadOfWaiting) {
    const QString path = PathOf("lonely-pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    m_store.ResetToDefaults();
    const SaveResult result = SaveToFile(m_store, path, QByteArray());
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(path)) << result.error.toStdString();
}

}  // namespace
