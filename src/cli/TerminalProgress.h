#pragma once

#include "BulkTransfer.h"

#include <cstdio>

// The bulk read's and the restore's progress as one line redrawn in place:
//   Restoring Receiver Settings... [##########--------------------]  33%
// Meant for a terminal; the caller decides whether there is one. The line is
// kept narrower than the terminal, so that it never wraps and scrolls.
class TerminalProgress : public ProgressSink {
public:
    static constexpr int kBarWidth = 30;

    explicit TerminalProgress(std::FILE* out) : m_out(out) {}

    void Begin(const QString& label) override;
    void SetPercent(int percent) override;
    void End() override;

    // The line for `percent` in fewer than `columns` characters: the bar
    // shrinks first (to 10), then the label is cut in the middle.
    static QString Line(const QString& label, int percent, int columns);
    // The width of the terminal on `fd`, else $COLUMNS, else 80.
    static int Columns(int fd);

private:
    void Draw(int percent);

    std::FILE* m_out;
    QString m_label;
    int m_percent = -1;
};
