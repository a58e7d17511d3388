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

#include <QDir>
#include <QFile>

namespace {

const QByteArray kNone = QByteArrayLiteral("(none)");

struct Context {
    const CliOptions& options;
    const CliStreams& streams;
    ReceiverSession& session;

    void Error(const QString& text) const {
        std::fprintf(streams.errors, "ampdesk-cli: %s\n",
                     PrintableMessage(text).toLocal8Bit().constData());
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

// Receiver values keep the receiver's bytes; on a terminal an ESC or a bell
// would act instead of showing, so control bytes are written visibly.
void PrintLine(std::FILE* out, const QByteArray& text) {
    const QByteArray line = EscapedControlBytes(text, true);
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), out);
    std::fputc('\n', out);
}

QString Shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString FilePath(const Context& context) {
    return QFile::decodeName(context.options.operands.first());
}

// The file is read before any port is opened, so a mistyped name costs nothing.
bool LoadSettingsFile(const Context& context, SettingsStore& store) {
    const QString path = FilePath(context);
    const LoadResult loaded = LoadFromFile(store, path);
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
                              .arg(QString::fromLocal8Bit(session.Model()), session.PortName());
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
    if (!report.isEmpty()) {
        std::fwrite(report.constData(), 1, static_cast<size_t>(report.size()), out);
        if (!report.endsWith('\n'))
            std::fputc('\n', out);
    }
    if (const int lost = context.CheckNotLost(); lost != kExitOk)
        co_return lost;
    co_return errors == 0 ? kExitOk : kExitDifferences;
}

// Tells a person at a terminal what was done; scripts go by the exit status.
void SayDone(const Context& context, const QString& done, int count, const QString& path) {
    if (context.streams.progress == nullptr)
        return;
    const QString text = done.arg(count).arg(QString::fromLocal8Bit(context.session.Model()),
                                             context.session.PortName(), Shown(path));
    PrintLine(context.streams.out, text.toLocal8Bit());
}

QCoro::Task<int> Backup(const Context& context) {
    const SettingsStore& store = context.session.Store();
    int leftOut = 0;
    if (const int read = co_await ReadReceiver(context, &leftOut); read != kExitOk)
        co_return read;
    const QString path = FilePath(context);
    const SaveResult saved = SaveToFile(store, path, QByteArray());
    if (!saved.ok) {
        context.Error(saved.error);
        co_return kExitDifferences;
    }
    // The backup is also kept as a snapshot; a problem there is only said.
    if (const QString warning = KeepBackupSnapshot(store, context.session.Model());
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
    for (const SettingDifference& difference : differences) {
        PrintLine(context.streams.out, difference.key + ": " +
                                           difference.fileValue.value_or(kNone) + " -> " +
                                           difference.receiverValue.value_or(kNone));
    }
    co_return differences.empty() ? kExitOk : kExitDifferences;
}

QCoro::Task<int> Get(const Context& context) {
    int status = kExitOk;
    for (const QByteArray& key : context.options.operands) {
        const CommandChannel::Reply answer =
            co_await context.session.Ask(CommandChannel::Kind::Query, key + '?');
        const QByteArray reply = TrimmedBytes(answer.Text());
        if (context.session.IsLost())
            co_return context.CheckNotLost();
        if (reply.isEmpty() || reply == CommandChannel::kTimeout) {
            context.Error(QStringLiteral("%1: no answer").arg(QString::fromLocal8Bit(key)));
            status = kExitDifferences;
            continue;
        }
        PrintLine(context.streams.out, reply);
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
    session.SetKeepAliveEnabled(false);
    session.SetProgressSink(streams.progress);
    const Context context{options, streams, session};

    // The snapshot list needs no receiver; a snapshot number stands for its file.
    if (options.command == CliCommand::Snapshots)
        co_return ListSnapshots(streams.out);
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
