#pragma once

#include <ostream>
#include <string>

// Readable names for table-driven tests whose rows carry a `label`: the row's
// label in failure messages (PrintTo, brought into the test's namespace with
// `using CaseLabels::PrintTo;`) and as the parameterised test's name.
namespace CaseLabels {

template <typename Case>
requires requires(const Case& c) {
    c.label;
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.label;
}

struct ByLabel {
    template <typename Info>
    std::string operator()(const Info& info) const {
        return info.param.label;
    }
};

}  // namespace CaseLabels
