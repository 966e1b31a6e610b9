// Range correction: the limit itself stays, anything above takes the replacement.
#include "correction.h"

#include <gtest/gtest.h>

namespace {

TEST(RangeCorrect, ValuesAtJustAboveAndFarAboveEachLimit) {
    struct Row {
        int word, limit, replacement;
    };
    // Word: power A, video thresholds, polarity, evaluation mode, averaging, set-points,
    // tolerance, potentiometer and analog modes, the spare words.
    const Row rows[] = {
        {0, 500, 250}, {2, 1023, 512}, {3, 1023, 512}, {4, 1, 1},     {5, 3, 0},
        {6, 128, 128}, {7, 1024, 512}, {8, 1024, 512}, {9, 512, 128}, {10, 4, 0},
        {11, 4, 0},    {13, 1023, 0},  {14, 1023, 0},  {15, 1023, 0},
    };
    for (const Row& r : rows) {
        for (int value : {r.limit, r.limit + 1, 65535}) {
            std::uint16_t words[16] = {};
            words[r.word] = static_cast<std::uint16_t>(value);
            EXPECT_EQ(RangeCorrect(words), value == r.limit ? 0 : 1);
            EXPECT_EQ(words[r.word], value == r.limit ? r.limit : r.replacement)
                << "word " << r.word << " value " << value;
        }
        EXPECT_EQ(CorrectionLimit(r.word), r.limit);
    }
}

TEST(RangeCorrect, TimeAndPowerBAreNeverCorrected) {
    std::uint16_t words[16] = {};
    words[1] = 65535;   // power B
    words[12] = 65535;  // time setting
    EXPECT_EQ(RangeCorrect(words), 0);
    EXPECT_EQ(words[1], 65535);
    EXPECT_EQ(words[12], 65535);
    EXPECT_EQ(CorrectionLimit(12), 65535);
}

}  // namespace
