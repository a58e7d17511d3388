#include "TerminalProgress.h"

#include <algorithm>

void TerminalProgress::Begin(const QString& label) {
    m_label = label.toLocal8Bit();
    m_percent = -1;
    Draw(0);
}

void TerminalProgress::SetPercent(int percent) {
    Draw(std::clamp(percent, 0, 100));
}

// The operations stop at 99 % (the bar advances before each step); the line is
// completed and ended so that what follows starts on a line of its own.
void TerminalProgress::End() {
    Draw(100);
    std::fputc('\n', m_out);
    std::fflush(m_out);
}

void TerminalProgress::Draw(int percent) {
    if (percent == m_percent)
        return;
    m_percent = percent;
    const int filled = percent * kBarWidth / 100;
    const QByteArray bar = QByteArray(filled, '#') + QByteArray(kBarWidth - filled, '-');
    std::fprintf(m_out, "\r%s [%s] %3d%%", m_label.constData(), bar.constData(), percent);
    std::fflush(m_out);
}
