#pragma once

// What every Velmar receiver of the family has: its sources, its A/V presets
// and the models it comes as. The query catalogue, the default lines, the
// pages and the simulator all count and mask with these.

#include <array>
#include <cstddef>
#include <cstdint>

// Source1..Source10; the tenth is the tuner.
inline constexpr int kSourceCount = 10;
inline constexpr int kTunerSource = kSourceCount;
// The A/V presets Preset1..Preset5 (not the tuner's forty station presets).
inline constexpr int kAvPresetCount = 5;

struct KnownModel {
    const char* name;
    std::uint32_t modelBit;
};

// Row n has ModelBit 1 << n.
inline constexpr std::array<KnownModel, 11> kKnownModels = {{
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

namespace receiver_shape_detail {

constexpr bool SameName(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// Not constexpr: reaching it while a mask is computed stops the compile, so a
// misspelt model name cannot silently leave a model in a mask.
inline void UnknownModelName() {}

template <std::size_t N>
constexpr std::uint32_t ModelsWithout(const std::array<const char*, N>& lacking) {
    std::uint32_t mask = 0;
    std::size_t found = 0;
    for (const KnownModel& row : kKnownModels) {
        bool lacks = false;
        for (const char* name : lacking)
            lacks = lacks || SameName(row.name, name);
        if (lacks)
            ++found;
        else
            mask |= row.modelBit;
    }
    if (found != N)
        UnknownModelName();
    return mask;
}

}  // namespace receiver_shape_detail

// Model masks over the ModelBits: a model has a key when its bit is in the mask.
inline constexpr std::uint32_t kAllModels =
    receiver_shape_detail::ModelsWithout(std::array<const char*, 0>{});
inline constexpr std::uint32_t kSpeakerABModels =
    receiver_shape_detail::ModelsWithout(std::array{"ZA08", "ZA03", "ZA02", "ZA01"});
inline constexpr std::uint32_t kAudysseyModels =
    receiver_shape_detail::ModelsWithout(std::array{"ZA05", "ZA04"});
