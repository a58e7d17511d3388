#include "Completion.h"

namespace {

// In a test program a step completed twice stops the run in every build; the
// program itself lets the first word stand.
[[maybe_unused]] const bool kStrict = (CompletedTwiceIsFatal() = true);

}  // namespace
