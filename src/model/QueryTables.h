#pragma once

// The catalogue of keys the bulk read asks for: sections (in capitals, as they
// go on the wire) times parameters, each parameter with the sections it exists
// in and the receiver models that have it.

#include <array>
#include <cstdint>

struct QuerySection {
    const char* name;  // "TUNER", "MAIN", "ZONE2", ... "AUDYSSEY"
    std::uint32_t bit;
};

struct QueryParameter {
    const char* name;  // "Volume", "Speaker.Front.Config", ...
    std::uint32_t sectionMask;
    std::uint32_t modelMask;
};

extern const std::array<QuerySection, 21> kQuerySections;
extern const std::array<QueryParameter, 137> kQueryParameters;

inline constexpr int kQueryPairCount = 21 * 137;  // 2877

// A pair is asked when the parameter exists in the section and on the model.
// ModelBit 0 (no known model) asks nothing.
inline bool IsQueried(const QuerySection& section, const QueryParameter& parameter,
                      std::uint32_t modelBit) {
    return (parameter.sectionMask & section.bit) != 0 && (parameter.modelMask & modelBit) != 0;
}

// The models that have `parameter` (the key after its section, any letter
// case); every model for a parameter the catalogue does not ask for.
std::uint32_t ModelsWithParameter(const char* parameter);

// How many queries the bulk read sends to the model (584, 581 or 578 for a
// known model, 0 for ModelBit 0).
int QueryCount(std::uint32_t modelBit);
