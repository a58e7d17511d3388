#pragma once

#include "CliOptions.h"

#include <qcoro/qcorotask.h>

#include <cstdio>

class ProgressSink;

struct CliStreams {
    std::FILE* out = stdout;
    std::FILE* errors = stderr;
    ProgressSink* progress = nullptr;  // set when standard error is a terminal
};

// Runs one parsed command line; its result is the exit status.
QCoro::Task<int> RunCliCommand(CliOptions options, CliStreams streams);
