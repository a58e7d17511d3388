#pragma once

#include "CliOptions.h"

#include <qcoro/qcorotask.h>

#include <cstdio>

class ProgressSink;

struct CliStreams {
    std::FILE* out = stdout;
    std::FILE* errors = stderr;
    std::FILE* in = stdin;             // a settings file named "-"
    ProgressSink* progress = nullptr;  // set when standard error is a terminal
};

class ReceiverSession;

// Runs one parsed command line on the session; its result is the exit status.
// The session is the caller's: the command's end may come from inside one of
// the session's own calls (a lost device ends a read), which must not find it
// destroyed.
QCoro::Task<int> RunCliCommand(CliOptions options, CliStreams streams, ReceiverSession& session);
