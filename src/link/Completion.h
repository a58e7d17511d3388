#pragma once

#include "CommandChannel.h"
#include "SerialPort.h"

#include <QtGlobal>

#include <coroutine>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <utility>

// A callback that ends an awaited step twice is a fault of whoever called it:
// the first word stands, and a debug build (the sanitizer tests) stops there.
inline bool& CompletedTwiceIsFatal() {
#ifdef NDEBUG
    static bool fatal = false;
#else
    static bool fatal = true;
#endif
    return fatal;
}

// Awaits anything that reports its end through a callback, exactly once:
//   const CommandChannel::Reply reply = co_await Asked(channel, Kind::Query, "Main.Model?");
// The callback may run before the start function returns; the coroutine then
// goes on without suspending. The state is shared with the callback, so a
// callback that comes after the coroutine went on finds it.
template <typename T>
class Completion {
public:
    using Start = std::function<void(std::function<void(T)> done)>;

    explicit Completion(Start start) : m_start(std::move(start)) {}

    bool await_ready() const noexcept { return false; }
    bool await_suspend(std::coroutine_handle<> waiting) {
        const std::shared_ptr<State> state = m_state;
        m_start([state](T value) {
            if (state->value) {
                if (CompletedTwiceIsFatal())
                    qFatal("an awaited step was completed twice");
                return;
            }
            state->value = std::move(value);
            if (auto resume = std::exchange(state->waiting, {}))
                resume.resume();
        });
        if (state->value)
            return false;
        state->waiting = waiting;
        return true;
    }
    T await_resume() { return std::move(*m_state->value); }

private:
    struct State {
        std::optional<T> value;
        std::coroutine_handle<> waiting;
    };
    Start m_start;
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

// A command's reply, awaited. With a stop token, stopping that operation ends
// this command (Aborted) and leaves every other caller's alone.
inline Completion<CommandChannel::Reply> Asked(CommandChannel& channel, CommandChannel::Kind kind,
                                               QByteArray body, std::stop_token stop = {}) {
    return Completion<CommandChannel::Reply>(
        [&channel, kind, body = std::move(body),
         stop = std::move(stop)](std::function<void(CommandChannel::Reply)> done) {
            channel.Submit(
                kind, body,
                [done = std::move(done)](const CommandChannel::Reply& reply) { done(reply); },
                CommandChannel::Owner::Of(stop));
        });
}

// A port's opening, awaited: true when it opened.
inline Completion<bool> Opened(SerialPort& port, QString devicePath, unsigned baud) {
    return Completion<bool>(
        [&port, devicePath = std::move(devicePath), baud](std::function<void(bool)> done) {
            port.OpenAsync(devicePath, baud, std::move(done));
        });
}
