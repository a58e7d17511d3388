#include "LineAssembler.h"

#include <cstring>

std::optional<QByteArray> LineAssembler::Feed(char byte) {
    if (byte == '\r') {
        const void* nul = std::memchr(m_buffer.data(), '\0', static_cast<size_t>(m_index));
        const int length =
            nul ? static_cast<int>(static_cast<const char*>(nul) - m_buffer.data()) : m_index;
        m_index = 0;
        return QByteArray(m_buffer.data(), length);
    }
    m_buffer[static_cast<size_t>(m_index)] = byte;
    ++m_index;
    if (m_index == kBufferSize) {
        std::memmove(m_buffer.data(), m_buffer.data() + 1, kBufferSize - 1);
        m_index = kBufferSize - 1;
    }
    return std::nullopt;
}
