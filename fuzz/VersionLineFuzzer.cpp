// The first line of the version file on the maker's site, as it arrives over
// the network: any bytes.

#include "VersionLine.h"

#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "fuzz_version_line: %s\n", what);
        std::abort();
    }
}

constexpr int kMaxVersionNumber = 999999;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray line(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    int major = -1;
    int minor = -1;
    if (!ParseVersionLine(line, major, minor))
        return 0;
    Check(major >= 0 && major <= kMaxVersionNumber, "major out of range");
    Check(minor >= 0 && minor <= kMaxVersionNumber, "minor out of range");
    Check(line.contains('=') && line.contains('.'), "a version without \"=\" or \".\"");
    // Newer is a strict order: never newer than itself, and of two different
    // versions exactly one is newer.
    Check(!IsNewerVersion(major, minor, major, minor), "a version newer than itself");
    Check(IsNewerVersion(major, minor + 1, major, minor), "a higher minor is not newer");
    Check(!IsNewerVersion(major, minor, major + 1, 0), "a lower major is newer");
    return 0;
}
