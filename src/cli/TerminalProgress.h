#pragma once

#include "BulkTransfer.h"

#include <cstdio>

// The bulk read's and the restore's progress as one line redrawn in place:
//   Restoring Receiver Settings... [##########--------------------]  33%
// Meant for a terminal; the caller decides whether there is one.
class TerminalProgress : public ProgressSink {
public:
    static constexpr int kBarWidth = 30;

    explicit TerminalProgress(std::FILE* out) : m_out(out) {}

    void Begin(const QString& label) override;
    void SetPercent(int percent) override;
    void End() override;

private:
    void Draw(int percent);

    std::FILE* m_out;
    QByteArray m_label;
    int m_percent = -1;
};
