#pragma once

#include "ProgressSink.h"

#include <QList>
#include <QString>

// Records what a bulk read or restore shows, in order.
class ProgressRecorder : public ProgressSink {
public:
    void Begin(const QString& label) override {
        labels.append(label);
        ++begins;
    }
    void SetPercent(int percent) override { percents.append(percent); }
    void End() override { ++ends; }

    QList<QString> labels;
    QList<int> percents;
    int begins = 0;
    int ends = 0;
};
