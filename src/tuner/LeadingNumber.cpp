#include "LeadingNumber.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

// Points past blanks and a "+" sign, which std::from_chars does not take.
const char* NumberStart(const char* begin, const char* end) {
    while (begin != end && (*begin == ' ' || *begin == '\t'))
        ++begin;
    if (begin != end && *begin == '+' && begin + 1 != end && *(begin + 1) != '-')
        ++begin;
    return begin;
}

}  // namespace

std::optional<float> LeadingFloat(const QByteArray& text) {
    const char* end = text.constData() + text.size();
    const char* begin = NumberStart(text.constData(), end);
    float value = 0.0f;
    const std::from_chars_result result =
        std::from_chars(begin, end, value, std::chars_format::fixed);
    if (result.ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> LeadingInteger(const QByteArray& text) {
    const char* end = text.constData() + text.size();
    const char* begin = NumberStart(text.constData(), end);
    long long value = 0;
    const std::from_chars_result result = std::from_chars(begin, end, value);
    if (result.ec == std::errc::result_out_of_range) {
        return *begin == '-' ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    }
    if (result.ec != std::errc())
        return std::nullopt;
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

QByteArray UpToFirstBlank(const QByteArray& text) {
    const qsizetype blank = text.indexOf(' ');
    return blank > 0 ? text.left(blank) : text;
}
