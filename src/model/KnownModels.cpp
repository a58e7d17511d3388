#include "KnownModels.h"

#include "ByteText.h"

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
        if (EqualsIgnoringCase(model, row.name))
            return true;
    }
    return false;
}
