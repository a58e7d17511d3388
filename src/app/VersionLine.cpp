#include "VersionLine.h"

#include "ByteText.h"

namespace {

constexpr int kMaxVersionNumber = 999999;

// A leading run of digits after blanks and an optional "+"; what follows the
// digits is not examined.
bool ReadNumber(const QByteArray& text, int& number) {
    qsizetype at = 0;
    while (at < text.size() && IsBlank(text[at]))
        ++at;
    if (at < text.size() && text[at] == '+')
        ++at;
    const qsizetype digitsStart = at;
    int value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        value = value * 10 + (text[at] - '0');
        if (value > kMaxVersionNumber)
            return false;
        ++at;
    }
    if (at == digitsStart)
        return false;
    number = value;
    return true;
}

}  // namespace

bool ParseVersionLine(const QByteArray& line, int& major, int& minor) {
    if (line.size() <= 1)
        return false;
    const qsizetype equals = line.indexOf('=');
    if (equals <= 0)
        return false;
    const QByteArray version = TrimmedBytes(line.mid(equals + 1));
    const qsizetype dot = version.indexOf('.');
    if (dot <= 0)
        return false;
    int remoteMajor = 0;
    int remoteMinor = 0;
    if (!ReadNumber(version.left(dot), remoteMajor) ||
        !ReadNumber(version.mid(dot + 1), remoteMinor))
        return false;
    major = remoteMajor;
    minor = remoteMinor;
    return true;
}

bool IsNewerVersion(int remoteMajor, int remoteMinor, int ownMajor, int ownMinor) {
    return remoteMajor > ownMajor || (remoteMajor == ownMajor && remoteMinor > ownMinor);
}
