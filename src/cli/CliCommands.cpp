#include "CliCommands.h"

#include "CliSnapshots.h"

#include "BulkTransfer.h"
#include "ByteText.h"
#include "Completion.h"
#include "FailureText.h"
#include "Profile.h"
#include "QueryTables.h"
#include "ReceiverSession.h"
#include "SettingsDiff.h"
#include "SettingsFile.h"
#include "SettingsStore.h"
#include "Windows1252.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <optional>

namespace {

const QByteArray kNone = QByteArrayLiteral("(none)");

struct Context {
    const CliOptions& options;
    const CliStreams& streams;
    ReceiverSession& session;

    void Error(const QString& text) const {
        std::fprintf(streams.errors, "ampdesk-cli: %s\n",
                     PrintableMessage(text).toUtf8().constData());
        std::fflush(streams.errors);
    }
    // kExitNoReceiver, after saying so, when the receiver was lost; else kExitOk.
    int CheckNotLost() const {
        if (!session.IsLost())
            return kExitOk;
        Error(session.LostReason());
        return kExitNoReceiver;
    }
};

// The receiver's text is Windows-1252; it is printed as UTF-8. On a terminal
// an ESC or a bell would act instead of showing, so control bytes are written
// visibly, the five bytes the code page leaves undefined too.
QByteArray ShownText(const QByteArray& receiverText) {
    QByteArray shown;
    for (const QChar c : FromWindows1252(EscapedControlBytes(receiverText, true))) {
        if (c.unicode() >= 0x80 && c.unicode() <= 0x9F)
            shown += "\\x" + QByteArray::number(c.unicode(), 16).toUpper();
        else
            shown += QString(c).toUtf8();
    }
    return shown;
}

void PrintLine(std::FILE* out, const QByteArray& receiverText) {
    const QByteArray line = ShownText(receiverText);
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), out);
    std::fputc('\n', out);
}

// A value for a JSON document: the receiver's text as a string, null for none.
QJsonValue JsonText(const std::optional<QByteArray>& receiverText) {
    return receiverText ? QJsonValue(FromWindows1252(*receiverText)) : QJsonValue();
}

void PrintJson(std::FILE* out, const QJsonObject& document) {
    const QByteArray bytes = QJsonDocument(document).toJson(QJsonDocument::Indented);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), out);
}

bool IsStandardStream(const QByteArray& operand) {
    return operand == kStandardStream;
}

QString Shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString FilePath(const Context& context) {
    return QFile::decodeName(context.options.operands.first());
}

// Standard input, read to its end but never beyond what a settings file may hold.
LoadResult LoadFromStream(SettingsStore& store, std::FILE* in) {
    QByteArray bytes;
    char chunk[64 * 1024];
    size_t count = 0;
    while (bytes.size() <= kMaxSettingsFileBytes &&
           (count = std::fread(chunk, 1, sizeof chunk, in)) > 0)
        bytes.append(chunk, static_cast<qsizetype>(count));
    LoadResult loaded;
    if (std::ferror(in))
        return loaded;
    if (bytes.size() > kMaxSettingsFileBytes) {
        loaded.opened = true;
        loaded.tooLarge = true;
        return loaded;
    }
    loaded = LoadFromBytes(store, bytes);
    loaded.opened = true;
    return loaded;
}

// The file is read before any port is opened, so a mistyped name costs nothing.
bool LoadSettingsFile(const Context& context, SettingsStore& store) {
    const bool standardInput = IsStandardStream(context.options.operands.first());
    const QString path = standardInput ? QStringLiteral("standard input") : FilePath(context);
    const LoadResult loaded =
        standardInput ? LoadFromStream(store, context.streams.in) : LoadFromFile(store, path);
    const QString problem = LoadFailureText(loaded, Shown(path));
    if (problem.isEmpty()) {
        if (loaded.incomplete)
            context.Error(QStringLiteral("%1 is incomplete (no end line); its %2 line(s) "
                                         "were read")
                              .arg(Shown(path))
                              .arg(store.LineCount()));
        return true;
    }
    context.Error(problem);
    return false;
}

// The bulk read the window runs on connecting. kExitNoReceiver (after saying
// why) when the receiver was lost or answered nothing; `leftOut` counts the
// settings it did not answer.
// The session's store is the read's target, so that a change at the front
// panel during a backup is kept.
QCoro::Task<int> ReadReceiver(const Context& context, int* leftOut = nullptr) {
    ReceiverSession& session = context.session;
    const SettingsStore& store = session.Store();
    const QString label = QStringLiteral("Reading %1 on %2")
                              .arg(FromWindows1252(session.Model()), session.PortName());
    const bool complete = co_await session.ReadAll(label);
    if (session.IsLost())
        co_return context.CheckNotLost();
    if (!complete) {
        FailureFacts facts;
        facts.portName = session.PortName();
        context.Error(FailureText(ReceiverSession::Failure::ReadFailed, facts));
        co_return kExitNoReceiver;
    }
    if (store.IsEmpty()) {
        context.Error(QStringLiteral("the receiver on %1 answered none of the setting queries")
                          .arg(session.PortName()));
        co_return kExitNoReceiver;
    }
    // A receiver may lack a parameter and stay silent; say so, the rest is good.
    const int asked = QueryCount(session.ModelBit());
    if (store.LineCount() < asked) {
        context.Error(QStringLiteral("%1 of %2 settings did not answer and are left out")
                          .arg(asked - store.LineCount())
                          .arg(asked));
        if (leftOut != nullptr)
            *leftOut = asked - store.LineCount();
    }
    co_return kExitOk;
}

// Sends the lines and prints the report, also when the receiver was lost on
// the way (it lists what was not sent). kExitDifferences when a line failed;
// `confirmed` counts the lines sent and confirmed.
QCoro::Task<int> Restore(const Context& context, std::vector<QByteArray> lines,
                         int* confirmed = nullptr) {
    const RestoreResult result = co_await context.session.Restore(lines);
    if (confirmed != nullptr)
        *confirmed = result.confirmed;
    const int errors = result.Failed();
    const QByteArray& report = result.report;
    std::FILE* out = context.streams.out;
    // The report quotes the lines in the receiver's code page.
    for (const QByteArray& line : report.split('\n')) {
        if (!line.isEmpty())
            PrintLine(out, line);
    }
    if (const int lost = context.CheckNotLost(); lost != kExitOk)
        co_return lost;
    co_return errors == 0 ? kExitOk : kExitDifferences;
}

// Tells a person at a terminal what was done, beside the progress bar, so that
// standard output holds only what was asked for (a backup to "-"); scripts go by
// the exit status.
void SayDone(const Context& context, const QString& done, int count, const QString& path) {
    if (context.streams.progress == nullptr)
        return;
    const QString text = done.arg(count).arg(FromWindows1252(context.session.Model()),
                                             context.session.PortName(), Shown(path));
    std::fprintf(context.streams.errors, "%s\n", PrintableMessage(text).toUtf8().constData());
}

// A backup to "-": the file's bytes on standard output.
SaveResult SaveToStream(const SettingsStore& store, std::FILE* out) {
    const QByteArray bytes = SettingsFileBytes(store, QByteArray());
    if (std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), out) !=
            static_cast<size_t>(bytes.size()) ||
        std::fflush(out) != 0)
        return {false, QStringLiteral("Could not write the settings to standard output: %1")
                           .arg(qt_error_string(errno))};
    return {true, {}};
}

QCoro::Task<int> Backup(const Context& context) {
    const SettingsStore& store = context.session.Store();
    int leftOut = 0;
    if (const int read = co_await ReadReceiver(context, &leftOut); read != kExitOk)
        co_return read;
    const bool standardOutput = IsStandardStream(context.options.operands.first());
    const QString path = standardOutput ? QStringLiteral("standard output") : FilePath(context);
    const SaveResult saved = standardOutput ? SaveToStream(store, context.streams.out)
                                            : SaveToFile(store, path, QByteArray());
    if (!saved.ok) {
        context.Error(saved.error);
        co_return kExitDifferences;
    }
    // The backup is also kept as a snapshot; a problem there is only said.
    if (const QString warning = KeepBackupSnapshot(store, context.session.Model(), leftOut > 0);
        !warning.isEmpty())
        context.Error(warning);
    SayDone(context, QStringLiteral("Saved %1 settings of %2 on %3 to %4"), store.LineCount(),
            path);
    // A partial backup is kept, but a script must not take it for a whole one.
    co_return leftOut > 0 ? kExitDifferences : kExitOk;
}

QCoro::Task<int> RestoreFile(const Context& context, const SettingsStore& file) {
    const QString path = FilePath(context);
    if (!context.options.onlyChanged) {
        int confirmed = 0;
        const int status = co_await Restore(context, file.Lines(), &confirmed);
        if (status == kExitOk)
            SayDone(context, QStringLiteral("Restored %1 settings of %4 to %2 on %3"), confirmed,
                    path);
        co_return status;
    }

    const SettingsStore& receiver = context.session.Store();
    if (const int read = co_await ReadReceiver(context); read != kExitOk)
        co_return read;
    const std::vector<QByteArray> changed = ChangedLines(file, receiver);
    std::FILE* out = context.streams.out;
    if (changed.empty()) {
        std::fprintf(out, "Nothing to change: the receiver already holds every setting.\n");
        co_return kExitOk;
    }
    for (const QByteArray& line : changed) {
        QByteArray key;
        const QByteArray was =
            SplitLine(line, &key, nullptr) ? receiver.GetValue(key) : SettingsStore::kError;
        PrintLine(out, line + " (was " + (was == SettingsStore::kError ? kNone : was) + ")");
    }
    co_return co_await Restore(context, changed);
}

QCoro::Task<int> Diff(const Context& context, const SettingsStore& file) {
    const SettingsStore& receiver = context.session.Store();
    if (const int read = co_await ReadReceiver(context); read != kExitOk)
        co_return read;
    const std::vector<SettingDifference> differences = DiffSettings(file, receiver);
    if (context.options.json) {
        QJsonArray rows;
        for (const SettingDifference& difference : differences) {
            rows.append(QJsonObject{{"key", FromWindows1252(difference.key)},
                                    {"file", JsonText(difference.fileValue)},
                                    {"receiver", JsonText(difference.receiverValue)}});
        }
        PrintJson(context.streams.out, {{"model", FromWindows1252(context.session.Model())},
                                        {"port", context.session.PortName()},
                                        {"file", IsStandardStream(context.options.operands.first())
                                                     ? QJsonValue(QJsonValue::Null)
                                                     : QJsonValue(FilePath(context))},
                                        {"differences", rows}});
        co_return differences.empty() ? kExitOk : kExitDifferences;
    }
    for (const SettingDifference& difference : differences) {
        PrintLine(context.streams.out, difference.key + ": " +
                                           difference.fileValue.value_or(kNone) + " -> " +
                                           difference.receiverValue.value_or(kNone));
    }
    co_return differences.empty() ? kExitOk : kExitDifferences;
}

QCoro::Task<int> Get(const Context& context) {
    int status = kExitOk;
    QJsonObject values;
    QJsonArray unanswered;
    for (const QByteArray& key : context.options.operands) {
        const CommandChannel::Reply answer =
            co_await context.session.Ask(CommandChannel::Kind::Query, key + '?');
        const QByteArray reply = TrimmedBytes(answer.Text());
        if (context.session.IsLost())
            co_return context.CheckNotLost();
        if (reply.isEmpty() || reply == CommandChannel::kTimeout) {
            context.Error(QStringLiteral("%1: no answer").arg(FromWindows1252(key)));
            unanswered.append(FromWindows1252(key));
            status = kExitDifferences;
            continue;
        }
        if (!context.options.json) {
            PrintLine(context.streams.out, reply);
            continue;
        }
        // Under the key as the receiver spelt it in its answer.
        QByteArray answeredKey = key;
        QByteArray value = reply;
        if (const qsizetype equals = reply.indexOf('='); equals > 0) {
            answeredKey = reply.left(equals);
            value = reply.mid(equals + 1);
        }
        values.insert(FromWindows1252(answeredKey), FromWindows1252(value));
    }
    if (context.options.json) {
        PrintJson(context.streams.out, {{"model", FromWindows1252(context.session.Model())},
                                        {"port", context.session.PortName()},
                                        {"values", values},
                                        {"unanswered", unanswered}});
    }
    co_return status;
}

// Opens the port as the window names it (Auto-Detect tries them all) and
// asks for the model; says why not on the error stream (kExitCannotOpen,
// kExitNoReceiver).
QCoro::Task<int> Open(const Context& context, QString portName) {
    ReceiverSession& session = context.session;
    // Auto-Detect says what each port it tried gave.
    const QMetaObject::Connection tried =
        QObject::connect(&session, &ReceiverSession::CandidateFailed,
                         [&](const QString&) { context.Error(session.FailureReason()); });
    const ReceiverIdentity::Outcome outcome = co_await session.OpenPort(portName);
    QObject::disconnect(tried);
    if (outcome == ReceiverIdentity::Outcome::Known)
        co_return kExitOk;
    context.Error(session.FailureReason());
    const bool cannotOpen = session.LastFailure() == ReceiverSession::Failure::CannotOpen;
    // The window's advice for the one port, where there is some beyond the reason.
    if (cannotOpen && session.CandidatePorts(portName).size() == 1) {
        const QString advice = session.OpenFailureAdvice();
        if (advice != session.PortError())
            context.Error(advice);
    }
    // An unknown model keeps its port open in the session; a tool has no use for it.
    session.Close();
    co_return cannotOpen ? kExitCannotOpen : kExitNoReceiver;
}

QCoro::Task<int> Set(const Context& context) {
    const std::vector<QByteArray> lines(context.options.operands.begin(),
                                        context.options.operands.end());
    // A few lines: no progress to draw.
    context.session.SetProgressSink(nullptr);
    co_return co_await Restore(context, lines);
}

}  // namespace

QCoro::Task<int> RunCliCommand(CliOptions options, CliStreams streams, ReceiverSession& session) {
    // A command is over in seconds: no keep-alive. A device lost on the way
    // closes the port at once, so the rest of a bulk read or restore ends
    // quickly instead of timing out key by key.
    session.SetPortsFolder(Profile::PortsFolder());
    if (const std::optional<int> depth = Profile::ReadPipelineDepth())
        session.SetPipelineDepth(*depth);
    if (options.lockstep)
        session.SetPipelineDepth(1);
    session.SetKeepAliveEnabled(false);
    session.SetProgressSink(streams.progress);
    const Context context{options, streams, session};

    // The snapshot list needs no receiver; a snapshot number stands for its file.
    if (options.command == CliCommand::Snapshots)
        co_return ListSnapshots(streams.out, options.json);
    if (const QString problem = ResolveSnapshotOperand(options); !problem.isEmpty()) {
        context.Error(problem);
        co_return kExitUsage;
    }

    SettingsStore file;
    const bool needsFile =
        options.command == CliCommand::Restore || options.command == CliCommand::Diff;
    if (needsFile && !LoadSettingsFile(context, file))
        co_return kExitUsage;

    const QString port = options.port.isEmpty() ? Profile::ReadPort() : options.port;
    const int opened = co_await Open(context, port);
    if (options.command == CliCommand::Model && !session.Model().isEmpty())
        PrintLine(streams.out, session.Model());
    if (opened != kExitOk)
        co_return opened;

    switch (options.command) {
        case CliCommand::Backup:
            co_return co_await Backup(context);
        case CliCommand::Restore:
            co_return co_await RestoreFile(context, file);
        case CliCommand::Diff:
            co_return co_await Diff(context, file);
        case CliCommand::Get:
            co_return co_await Get(context);
        case CliCommand::Set:
            co_return co_await Set(context);
        case CliCommand::Model:
        case CliCommand::Snapshots:
            co_return kExitOk;
    }
    co_return kExitUsage;
}
