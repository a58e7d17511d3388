#pragma once

// The simulator's end of the line to the console: a pseudo-terminal's master
// side, or a TCP connection accepted the way a serial device server accepts
// one. The simulator's loop polls LineFd while a console holds the line and
// WatchFd for consoles arriving.
class LineEndpoint {
public:
    virtual ~LineEndpoint() = default;

    // Where the console's bytes arrive and answers leave (non-blocking); -1
    // while no console is there.
    virtual int LineFd() const = 0;
    // Polled for input beside the line; -1 when there is nothing to watch.
    virtual int WatchFd(bool lineOpen) const = 0;
    // The watch descriptor became readable, or a recheck is due: true when a
    // console now holds the line.
    virtual bool ConsoleArrived() = 0;
    // The console went away: true when one holds the line again right away.
    virtual bool ConsoleLeft() = 0;
    // True when arrivals cannot be watched and must be looked for now and then.
    virtual bool NeedsRecheck() const = 0;
    // Whether the loop starts with the line taken to be open.
    virtual bool OpenAtStart() const = 0;
};
