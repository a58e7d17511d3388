#include "Completion.h"

// A test program stops at a step completed twice, in every build.
[[maybe_unused]] static const bool kStrict = (CompletedTwiceIsFatal() = true);
