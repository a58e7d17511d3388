#include "Pipeline.h"

#include "Completion.h"

#include <deque>
#include <map>
#include <memory>
#include <optional>

namespace {

using Kind = CommandChannel::Kind;
using Reply = CommandChannel::Reply;

// Replies as they come, awaited one at a time.
class Arrivals {
public:
    using Arrival = std::pair<std::size_t, Reply>;

    void Push(std::size_t step, const Reply& reply) {
        m_arrived.emplace_back(step, reply);
        if (auto waiter = std::exchange(m_waiter, {}))
            waiter(Take());
    }
    Completion<Arrival> Next() {
        return Completion<Arrival>([this](std::function<void(Arrival)> done) {
            if (m_arrived.empty())
                m_waiter = std::move(done);
            else
                done(Take());
        });
    }

private:
    Arrival Take() {
        Arrival arrival = std::move(m_arrived.front());
        m_arrived.pop_front();
        return arrival;
    }

    std::deque<Arrival> m_arrived;
    std::function<void(Arrival)> m_waiter;
};

bool Sound(const Reply& reply) {
    return reply.Answered() && !reply.troubled;
}

// Two queries back to back, both answered in order within the time-out.
QCoro::Task<bool> Trial(CommandChannel& channel, const std::vector<PipelineStep>& steps,
                        std::stop_token stop) {
    const auto arrivals = std::make_shared<Arrivals>();
    for (std::size_t i = 0; i < 2; ++i) {
        const QByteArray key = CommandChannel::KeyOf(steps[i].body);
        channel.Submit({Kind::Query,
                        key + '?',
                        CommandChannel::Owner::Of(stop),
                        CommandChannel::Place::Back,
                        0,
                        {},
                        true},
                       [arrivals, i](const Reply& reply) { arrivals->Push(i, reply); });
    }
    bool sound = true;
    for (int i = 0; i < 2; ++i)
        sound = Sound((co_await arrivals->Next()).second) && sound;
    co_return sound;
}

}  // namespace

QCoro::Task<Pipelined> SendPipelined(CommandChannel& channel, std::vector<PipelineStep> steps,
                                     Pipeline& pipeline, std::stop_token stop,
                                     StepSettled settled) {
    if (!pipeline.Allowed() || steps.size() < 2 || stop.stop_requested())
        co_return Pipelined{};
    // The keys of the first two steps must differ for the trial to tell their
    // answers apart; a restore's sets are tried with queries, which change nothing.
    if (pipeline.state == Pipeline::State::Untried && steps[0].kind != Kind::Query) {
        if (CommandChannel::KeyOf(steps[0].body) == CommandChannel::KeyOf(steps[1].body))
            co_return Pipelined{};
        const bool sound = co_await Trial(channel, steps, stop);
        if (stop.stop_requested())
            co_return Pipelined{};
        pipeline.state = sound ? Pipeline::State::Proven : Pipeline::State::Refused;
        if (!sound)
            co_return Pipelined{};
    }

    const auto arrivals = std::make_shared<Arrivals>();
    std::map<std::size_t, Reply> early;  // answered before a step ahead of them
    std::size_t next = 0;                // the next step to send
    std::size_t settledUpTo = 0;         // every step before this one is settled
    int out = 0;
    bool trouble = false;
    std::optional<CommandChannel::Outcome> ended;
    for (;;) {
        // Until the trial's two steps are settled, no third goes out.
        const std::size_t window = pipeline.state == Pipeline::State::Proven
                                       ? static_cast<std::size_t>(pipeline.depth)
                                       : 2;
        while (!trouble && !ended && next < steps.size() && next < settledUpTo + window &&
               !stop.stop_requested()) {
            const std::size_t step = next++;
            ++out;
            channel.Submit({steps[step].kind,
                            steps[step].body,
                            CommandChannel::Owner::Of(stop),
                            CommandChannel::Place::Back,
                            0,
                            {},
                            true},
                           [arrivals, step](const Reply& reply) { arrivals->Push(step, reply); });
        }
        if (out == 0)
            break;
        const auto [step, reply] = co_await arrivals->Next();
        --out;
        if (reply.outcome == CommandChannel::Outcome::Closed ||
            reply.outcome == CommandChannel::Outcome::Aborted) {
            // A closed port says more than the stop that came with it.
            if (!ended || reply.outcome == CommandChannel::Outcome::Closed)
                ended = reply.outcome;
            continue;
        }
        if (!Sound(reply)) {
            trouble = true;
            continue;
        }
        early.emplace(step, reply);
        while (!trouble && !early.empty() && early.begin()->first == settledUpTo) {
            const Reply inOrder = early.begin()->second;
            early.erase(early.begin());
            if (!settled(settledUpTo, inOrder)) {
                trouble = true;
                break;
            }
            ++settledUpTo;
        }
        if (pipeline.state == Pipeline::State::Untried && settledUpTo >= 2)
            pipeline.state = Pipeline::State::Proven;
    }
    if (trouble)
        pipeline.state = Pipeline::State::Refused;
    co_return Pipelined{settledUpTo, ended};
}
