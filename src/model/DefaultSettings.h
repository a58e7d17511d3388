#pragma once

#include <QByteArray>

#include <vector>

// The 537 built-in default lines ("key=value"), in store order: Tuner, Main,
// Zone2..Zone4, Source1..Source10, Preset1..Preset5. The order keeps every key
// ahead of the longer keys that contain it (GetValue matches substrings).
const std::vector<QByteArray>& DefaultLines();
