#pragma once

#include <QByteArray>

#include <array>
#include <optional>

// Cuts received bytes into lines at each carriage return. The receiver's lines
// are short; the buffer holds 100 bytes, so of a longer line only its last 99
// bytes survive. LF is an ordinary byte. A NUL stays in the buffer but ends the
// text that is handed on.
class LineAssembler {
public:
    static constexpr int kBufferSize = 100;

    // The finished line when `byte` is a carriage return, without the CR.
    std::optional<QByteArray> Feed(char byte);
    // Drops a partial line.
    void Reset() { m_index = 0; }

private:
    std::array<char, kBufferSize> m_buffer{};
    int m_index = 0;  // where the next byte goes, 0..99
};
