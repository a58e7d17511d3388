#pragma once

#include "CommandChannel.h"

#include <QByteArray>

#include <qcoro/qcorotask.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <stop_token>
#include <vector>

// How many commands a bulk transfer keeps on the wire at once, and what the
// receiver has shown it takes. RS-232 is full duplex: with two out, the next
// query travels while the answer to the one before comes back. A real unit's
// input buffer and parser are unknown, so the first two go out back to back as
// a trial, and the first sign that the receiver cannot keep up (an answer that
// does not come, comes out of order, a garbled line, or a set answered with
// another value than one the receiver takes as it stands) ends pipelining for
// the rest of the session.
struct Pipeline {
    static constexpr int kDefaultDepth = 2;
    static constexpr int kMaxDepth = 16;
    enum class State { Untried, Proven, Refused };

    int depth = kDefaultDepth;  // 1: one command at a time
    State state = State::Untried;

    bool Allowed() const { return depth > 1 && state != State::Refused; }
};

// One command of a bulk transfer.
struct PipelineStep {
    CommandChannel::Kind kind;
    QByteArray body;
};

// Takes a step's answer in order; false when the answer is not what the step
// asked for (a set of a sound value answered with another), which counts as
// trouble.
using StepSettled = std::function<bool(std::size_t step, const CommandChannel::Reply& reply)>;

struct Pipelined {
    // The first step not settled: the caller goes on from there one command
    // at a time.
    std::size_t settled = 0;
    // Closed or Aborted when a closed port or a stop ended the steps out.
    std::optional<CommandChannel::Outcome> ended;
};

// Sends the steps with up to `pipeline.depth` on the wire until the first
// trouble, a closed port or a stop, and hands each answered step to `settled`,
// in order. A set the receiver has not proved it takes pipelined is preceded
// by two queries of the first keys as the trial.
QCoro::Task<Pipelined> SendPipelined(CommandChannel& channel, std::vector<PipelineStep> steps,
                                     Pipeline& pipeline, std::stop_token stop, StepSettled settled);
