#include "KnownModels.h"

namespace {

// Plain ASCII folding: model names are ASCII, and bytes above 127 must not
// match anything by accident.
char FoldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsIgnoringAsciiCase(const QByteArray& a, const char* b) {
    const QByteArray other(b);
    if (a.size() != other.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(other[i]))
            return false;
    }
    return true;
}

}  // namespace

const std::array<KnownModel, 11> kKnownModels = {{
    {"ZA11", 1},
    {"ZA10", 2},
    {"ZA09", 4},
    {"ZA08", 8},
    {"ZA07", 16},
    {"ZA06", 32},
    {"ZA05", 64},
    {"ZA04", 128},
    {"ZA03", 256},
    {"ZA02", 512},
    {"ZA01", 1024},
}};

std::uint32_t ModelBitOf(const QByteArray& model) {
    for (const KnownModel& row : kKnownModels) {
        if (model == row.name)
            return row.modelBit;
    }
    return 0;
}

bool IsKnownModel(const QByteArray& model) {
    for (const KnownModel& row : kKnownModels) {
        if (EqualsIgnoringAsciiCase(model, row.name))
            return true;
    }
    return false;
}
