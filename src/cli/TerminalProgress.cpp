#include "TerminalProgress.h"

#include "CliOptions.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kMinBarWidth = 10;
constexpr int kMinLabel = 20;
constexpr int kDefaultColumns = 80;
const QString kCut = QStringLiteral("...");

}  // namespace

int TerminalProgress::Columns(int fd) {
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    bool ok = false;
    const int columns = qEnvironmentVariableIntValue("COLUMNS", &ok);
    return ok && columns > 0 ? columns : kDefaultColumns;
}

QString TerminalProgress::Line(const QString& label, int percent, int columns) {
    // The last column is left free: a character there wraps on some terminals.
    const int room = columns - 1;
    const QString number = QStringLiteral("%1%").arg(percent, 3);
    const int frame = 4 + static_cast<int>(number.size());  // " [" and "] " around the bar
    if (room < frame + kMinBarWidth)
        return number;
    const int bar = std::clamp(room - frame - kMinLabel, kMinBarWidth, kBarWidth);
    const int labelRoom = room - frame - bar;
    QString shown = label;
    if (shown.size() > labelRoom) {
        // Both ends say most: what is done, and the port's distinctive tail.
        const int kept = std::max(labelRoom - static_cast<int>(kCut.size()), 0);
        shown = label.left(kept / 2) + kCut + label.right(kept - kept / 2);
    }
    const int filled = percent * bar / 100;
    return QStringLiteral("%1 [%2%3] %4")
        .arg(shown, QString(filled, QLatin1Char('#')), QString(bar - filled, QLatin1Char('-')),
             number);
}

void TerminalProgress::Begin(const QString& label) {
    // A port name may hold control characters; they are shown, not acted on.
    m_label = PrintableMessage(label);
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
    // Asked each time: the terminal may be resized while the line runs.
    const QString line = Line(m_label, percent, Columns(::fileno(m_out)));
    std::fprintf(m_out, "\r%s", line.toUtf8().constData());
    std::fflush(m_out);
}
