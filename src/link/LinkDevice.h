#pragma once

#include <QString>

#include <sys/types.h>

#include <memory>

// The open end of the receiver link that the port's worker sleeps on: a serial
// device, or a TCP connection to a serial device server. The descriptor is
// non-blocking and close-on-exec; destroying the object releases it.
class LinkDevice {
public:
    virtual ~LinkDevice() = default;

    virtual int Fd() const = 0;
    // Like write(2), but never raises SIGPIPE on a connection the peer closed.
    virtual ssize_t Write(const char* data, size_t size) = 0;
    // The sentence reported when the other end went away.
    virtual QString HangUpReason() const = 0;
};

struct LinkDeviceResult {
    std::unique_ptr<LinkDevice> device;  // null on failure
    QString error;
    int errorNumber = 0;  // the errno behind the error; 0 when none
};
