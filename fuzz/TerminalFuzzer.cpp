// The terminal's text: arbitrary keystrokes, arriving lines, prompts and widths
// in any order. The buffer must stay within its limits whatever comes.
//
// Input: a sequence of operations, each an operation byte followed by what it
// needs (a character, a width, or a text up to the next LF).

#include "TerminalBuffer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "fuzz_terminal: %s\n", what);
        std::abort();
    }
}

class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool AtEnd() const { return m_at >= m_size; }
    uint8_t Byte() { return AtEnd() ? 0 : m_data[m_at++]; }
    // Text up to the next LF (not included), read as Latin-1 or, after a 0x01
    // byte, as UTF-16 pairs so that any character can arrive.
    QString Text() {
        const bool wide = !AtEnd() && m_data[m_at] == 0x01;
        if (wide)
            ++m_at;
        const uint8_t* const begin = m_data + m_at;
        if (!wide) {
            const void* const lineFeed = memchr(begin, '\n', m_size - m_at);
            const size_t length =
                lineFeed != nullptr ? static_cast<const uint8_t*>(lineFeed) - begin : m_size - m_at;
            m_at += length;
            Byte();  // the LF
            return QString::fromLatin1(reinterpret_cast<const char*>(begin),
                                       static_cast<qsizetype>(length));
        }
        // Only a low byte can be the LF; a last low byte alone has a high byte of 0.
        size_t end = m_at;
        while (end < m_size && m_data[end] != '\n')
            end += 2;
        QString text(static_cast<qsizetype>((end - m_at) / 2), Qt::Uninitialized);
        QChar* out = text.data();
        for (size_t low = m_at; low < end; low += 2) {
            const uint8_t high = low + 1 < m_size ? m_data[low + 1] : 0;
            *out++ = QChar(static_cast<char16_t>(m_data[low] | (high << 8)));
        }
        m_at = std::min(end, m_size);
        Byte();  // the LF
        return text;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

void CheckLimits(const TerminalBuffer& buffer) {
    Check(buffer.EntryCount() <= TerminalBuffer::kMaxEntries, "more entries than kept");
    Check(buffer.LiveLength() <= TerminalBuffer::kMaxLiveLength, "live line too long");
    Check(buffer.Prompt().size() <= TerminalBuffer::kMaxPromptLength, "prompt too long");
    Check(buffer.HistorySize() <= CommandHistory::kCapacity, "history too long");
}

// The live rows hold no state of their own: each call cuts them afresh from the
// live line and the width. So they are checked every 32nd operation and on the
// state an input ends in, and every state an input passes through is the end
// state of its prefix, an input the fuzzer reaches by cutting inputs short.
// Cutting up to 255 rows after every keystroke made the harness several times
// slower. EntryCount, checked after every operation, counts the rows by
// arithmetic; the count is held against the rows here.
constexpr int kLiveRowsCheckedEvery = 32;

void CheckLiveRows(const TerminalBuffer& buffer) {
    const QStringList rows = buffer.LiveRows();
    Check(rows.size() == buffer.LiveRowCount(), "live rows miscounted");
    for (const QString& row : rows)
        Check(row.size() <= buffer.CharactersPerLine(), "live row wider than the line");
    Check(rows.join(QString()) == buffer.LiveText(), "live rows differ from the live line");
}

void CheckFinishedLines(const TerminalBuffer& buffer) {
    for (const QString& line : buffer.FinishedLines()) {
        Check(line.size() <= TerminalBuffer::kMaxLineLength + 1, "finished line too long");
        Check(!line.contains(QLatin1Char('\r')), "CR in a finished line");
        Check(line.indexOf(QLatin1Char('\n')) < 0 ||
                  line.indexOf(QLatin1Char('\n')) == line.size() - 1,
              "LF inside a finished line");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input input(data, size);
    TerminalBuffer buffer;
    for (int operation = 1; !input.AtEnd(); ++operation) {
        switch (input.Byte() % 10) {
            case 0:
                buffer.AppendLine(input.Text());
                break;
            case 1:
            case 2:
                buffer.TypeCharacter(QChar(static_cast<char16_t>(input.Byte())));
                break;
            case 3:
                buffer.Backspace();
                break;
            case 4: {
                const QString typed = buffer.Command();
                Check(buffer.Enter() == typed, "Enter handed back another command");
                Check(buffer.Command().isEmpty(), "the command survived Enter");
                break;
            }
            case 5:
                buffer.RecallOlder();
                break;
            case 6:
                buffer.RecallNewer();
                break;
            case 7:
                buffer.SetCharactersPerLine(static_cast<int>(input.Byte()) - 8);
                break;
            case 8: {
                // The prompt is the program's own text, never a control character.
                QString prompt = input.Text();
                prompt.removeIf([](QChar c) { return !c.isPrint(); });
                buffer.SetPrompt(prompt);
                break;
            }
            default:
                buffer.WriteBanner();
                break;
        }
        CheckLimits(buffer);
        if (operation % kLiveRowsCheckedEvery == 0)
            CheckLiveRows(buffer);
    }
    CheckLiveRows(buffer);
    CheckFinishedLines(buffer);
    return 0;
}
