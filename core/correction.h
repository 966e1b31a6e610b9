// The range correction of the parameter set: a word above its limit takes its replacement,
// most often a middle value rather than the limit. Applied to every set that is read.
#pragma once

#include <cstdint>

struct WordLimit {
    int word;  // index in the 16-word parameter packet
    std::uint16_t limit;
    std::uint16_t replacement;
};

// In correction order. The time setting and power B are never corrected.
constexpr WordLimit kWordLimits[] = {
    {0, 500, 250}, {2, 1023, 512}, {3, 1023, 512}, {4, 1, 1},     {5, 3, 0},
    {6, 128, 128}, {7, 1024, 512}, {8, 1024, 512}, {9, 512, 128}, {10, 4, 0},
    {11, 4, 0},    {13, 1023, 0},  {14, 1023, 0},  {15, 1023, 0},
};

// Replaces each word of the 16 above its limit by its replacement; returns how many changed.
int RangeCorrect(std::uint16_t* words);
// The largest value word `word` keeps (65535 for the words never corrected).
int CorrectionLimit(int word);
