#pragma once

#include "CliOptions.h"

#include <cstdio>

class ProgressSink;

struct CliStreams {
    std::FILE* out = stdout;
    std::FILE* errors = stderr;
    ProgressSink* progress = nullptr;  // set when standard error is a terminal
};

// Runs one parsed command line and returns the exit status.
int RunCliCommand(const CliOptions& options, const CliStreams& streams);
