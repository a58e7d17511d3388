#pragma once

#include <QtGlobal>

#include <chrono>

// Reads another process's processor time, context switches and resident memory
// from /proc. Processor time is the sum of its threads' run times
// (/proc/<pid>/task/*/schedstat, nanoseconds); where the kernel keeps no
// scheduler statistics, the process's utime + stime (clock ticks).
class ProcessMeter {
public:
    using Clock = std::chrono::steady_clock;

    struct Sample {
        Clock::time_point when;
        double cpuSeconds = 0;
        qint64 switches = 0;  // voluntary and involuntary, all threads
    };

    explicit ProcessMeter(qint64 pid) : m_pid(pid) {}

    Sample Take() const;
    double ResidentMegabytes() const;

    static double Seconds(const Sample& before, const Sample& after);
    static double CpuSeconds(const Sample& before, const Sample& after) {
        return after.cpuSeconds - before.cpuSeconds;
    }
    // Percent of one core.
    static double CpuPercent(const Sample& before, const Sample& after);
    static double SwitchesPerSecond(const Sample& before, const Sample& after);

private:
    double TaskRunSeconds() const;
    double StatCpuSeconds() const;
    qint64 TaskSwitches() const;

    qint64 m_pid;
};
