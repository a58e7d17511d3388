#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What ampdesk-cli exits with; scripts test these.
enum CliExit : int {
    kExitOk = 0,
    kExitDifferences = 1,  // diff found differences, a line failed, a file could not be saved
    kExitUsage = 2,        // bad command line, or a settings file that cannot be read
    kExitCannotOpen = 3,   // the port (or device server) could not be opened
    kExitNoReceiver = 4,   // no known receiver answered, or it was lost on the way
};

enum class CliCommand { Backup, Restore, Diff, Get, Set, Model, Snapshots };

struct CliOptions {
    CliCommand command = CliCommand::Model;
    // As typed after --port; empty: the port the window remembers.
    QString port;
    // The command line is UTF-8. Keys and KEY=VALUE lines are kept in the
    // receiver's code page (Windows-1252), as they go on the wire; a file name
    // is kept in the file system's encoding, "-" standing for standard input
    // or output.
    QList<QByteArray> operands;
    bool onlyChanged = false;
    bool json = false;      // one JSON document on standard output
    bool lockstep = false;  // one command on the wire at a time
};

struct CliParse {
    std::optional<CliOptions> options;  // empty on error or when help or the version was asked
    bool help = false;
    bool version = false;
    QString error;
};

// `arguments` without the program name, as decoded from the command line.
CliParse ParseCliArguments(const QStringList& arguments);
QString CliUsage();

// The name of standard input or output where a file is named.
inline constexpr char kStandardStream[] = "-";

// The text a get or set may carry as a key: 1 to 128 printable bytes without
// blanks or the operator characters "=", "?", "+" and "-".
bool IsValidKey(const QByteArray& key);

// An error message as it may go to a terminal: values in it come from the
// command line, the profile and files, so control characters (CR, ESC, ...)
// are shown escaped rather than acted on, and a line longer than
// kMaxMessageLine characters is cut with a note of how much is left out.
inline constexpr qsizetype kMaxMessageLine = 400;
QString PrintableMessage(const QString& text);
