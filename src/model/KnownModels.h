#pragma once

#include "ReceiverShape.h"

#include <QByteArray>

// Exact, case-sensitive: "za04" has no ModelBit (0).
std::uint32_t ModelBitOf(const QByteArray& model);
// Acceptance ignores case: "za04" is accepted.
bool IsKnownModel(const QByteArray& model);
