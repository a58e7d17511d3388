#include "ProcessMeter.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <unistd.h>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// "Name:   value kB" lines of /proc/<pid>/status.
qint64 StatusField(const QByteArray& status, const QByteArray& name) {
    for (const QByteArray& line : status.split('\n')) {
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

}  // namespace

double ProcessMeter::TaskRunSeconds() const {
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(m_pid));
    double seconds = 0;
    bool any = false;
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QByteArray stats = ReadAll(tasks.filePath(task + QStringLiteral("/schedstat")));
        bool ok = false;
        const qint64 ns = stats.split(' ').value(0).toLongLong(&ok);
        if (ok) {
            seconds += static_cast<double>(ns) / 1e9;
            any = any || ns > 0;
        }
    }
    return any ? seconds : -1;
}

double ProcessMeter::StatCpuSeconds() const {
    const QByteArray stat = ReadAll(QStringLiteral("/proc/%1/stat").arg(m_pid));
    // The command name may hold blanks; the fields after its ")" are fixed:
    // state is field 3, utime 14 and stime 15.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    const double ticks = static_cast<double>(fields[11].toLongLong() + fields[12].toLongLong());
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

qint64 ProcessMeter::TaskSwitches() const {
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(m_pid));
    qint64 switches = 0;
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QByteArray status = ReadAll(tasks.filePath(task + QStringLiteral("/status")));
        switches += StatusField(status, "voluntary_ctxt_switches") +
                    StatusField(status, "nonvoluntary_ctxt_switches");
    }
    return switches;
}

ProcessMeter::Sample ProcessMeter::Take() const {
    Sample sample;
    sample.when = Clock::now();
    sample.cpuSeconds = TaskRunSeconds();
    if (sample.cpuSeconds < 0)
        sample.cpuSeconds = StatCpuSeconds();
    sample.switches = TaskSwitches();
    return sample;
}

double ProcessMeter::ResidentMegabytes() const {
    const QByteArray status = ReadAll(QStringLiteral("/proc/%1/status").arg(m_pid));
    return static_cast<double>(StatusField(status, "VmRSS")) / 1024.0;
}

double ProcessMeter::Seconds(const Sample& before, const Sample& after) {
    return std::chrono::duration<double>(after.when - before.when).count();
}

double ProcessMeter::CpuPercent(const Sample& before, const Sample& after) {
    const double wall = Seconds(before, after);
    return wall > 0 ? 100.0 * CpuSeconds(before, after) / wall : 0;
}

double ProcessMeter::SwitchesPerSecond(const Sample& before, const Sample& after) {
    const double wall = Seconds(before, after);
    return wall > 0 ? static_cast<double>(after.switches - before.switches) / wall : 0;
}
