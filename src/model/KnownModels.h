#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>

struct KnownModel {
    const char* name;
    std::uint32_t modelBit;
};

// Row n has ModelBit 1 << n.
extern const std::array<KnownModel, 11> kKnownModels;

// Exact, case-sensitive: "za04" has no ModelBit (0).
std::uint32_t ModelBitOf(const QByteArray& model);
// Acceptance ignores case: "za04" is accepted.
bool IsKnownModel(const QByteArray& model);
