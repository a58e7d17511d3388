#pragma once

// The numbers the pages step through with their arrows, and the longest name
// a user may type; the key-level rules (KeyRules.h) hold every key to them,
// and the page layouts read them here.
struct NumberRange {
    int minimum;
    int maximum;
};

inline constexpr NumberRange kSpeakerLevelRange{-12, 12};
inline constexpr NumberRange kSpeakerDistanceRange{0, 30};
inline constexpr NumberRange kTriggerDelayRange{0, 15};
inline constexpr NumberRange kVolumeRange{-72, 16};
inline constexpr NumberRange kLipSyncRange{0, 120};
inline constexpr NumberRange kTrimRange{-12, 12};
inline constexpr int kNameMaxLength = 12;
