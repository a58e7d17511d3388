#include "KnownModels.h"

#include "ByteText.h"

// Ignoring case, as acceptance does: a model accepted must get its bit, or the
// read would ask nothing.
std::uint32_t ModelBitOf(const QByteArray& model) {
    for (const KnownModel& row : kKnownModels) {
        if (EqualsIgnoringCase(model, row.name))
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
