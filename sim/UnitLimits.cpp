#include "UnitLimits.h"

#include <algorithm>

UnitLimits::UnitLimits(const SimOptions& options, LinePacer::Duration byteTime)
    : m_byteTime(byteTime),
      m_thinkMs(options.thinkMs),
      m_inputBuffer(options.inputBuffer),
      m_lockstepOnly(options.lockstepOnly),
      m_framingBytes(options.leadingCr ? 2 : 1) {}

UnitLimits::Taken UnitLimits::Take(const LinePacer::Command& command) {
    Taken taken;
    taken.body = command.body;
    if (m_lockstepOnly && command.due < m_busyUntil) {
        taken.executed = false;
        taken.note = "dropped: it came before the one before was answered";
        return taken;
    }
    // The command's bytes, framing first, each arriving one byte time after
    // the one before; those that came while the unit was busy fill its buffer.
    const Clock::time_point start =
        command.due - std::chrono::duration_cast<Clock::duration>(m_byteTime * command.wireBytes);
    if (m_inputBuffer > 0 && start < m_busyUntil) {
        qint64 whileBusy = command.wireBytes;
        if (m_byteTime > LinePacer::Duration::zero()) {
            const auto busyFor =
                std::chrono::duration_cast<LinePacer::Duration>(m_busyUntil - start);
            whileBusy = std::min<qint64>(command.wireBytes, busyFor / m_byteTime + 1);
        }
        const qint64 kept = std::clamp<qint64>(m_inputBuffer - m_bufferedWhileBusy, 0, whileBusy);
        m_bufferedWhileBusy += kept;
        if (kept < whileBusy) {
            const QByteArray framed =
                QByteArray(std::max<qint64>(command.wireBytes - command.body.size() - 1, 0), '\r') +
                command.body + '\r';
            const QByteArray heard = framed.left(kept) + framed.mid(whileBusy);
            // Without its closing CR the rest runs into the next command: lost.
            if (!heard.endsWith('\r')) {
                taken.executed = false;
                taken.note = "dropped: its end came while the input buffer was full";
                return taken;
            }
            const QByteArray text = heard.chopped(1);
            taken.body = text.mid(text.lastIndexOf('\r') + 1);
            taken.note = "garbled: bytes came while the input buffer was full";
            if (taken.body.isEmpty()) {
                taken.executed = false;
                return taken;
            }
        }
    }
    taken.handled = std::max(command.due, m_handledUntil) + std::chrono::milliseconds(m_thinkMs);
    m_handledUntil = taken.handled;
    return taken;
}

void UnitLimits::Answered(Clock::time_point handled, Clock::time_point ready,
                          const QList<QByteArray>& lines) {
    qint64 bytes = 0;
    for (const QByteArray& line : lines)
        bytes += line.size() + m_framingBytes;
    const Clock::time_point sent =
        ready + std::chrono::duration_cast<Clock::duration>(m_byteTime * bytes);
    m_busyUntil = std::max(handled, sent);
    m_bufferedWhileBusy = 0;
}
