#include "correction.h"

int RangeCorrect(std::uint16_t* words) {
    int changed = 0;
    for (const WordLimit& l : kWordLimits) {
        if (words[l.word] > l.limit) {
            words[l.word] = l.replacement;
            ++changed;
        }
    }
    return changed;
}

int CorrectionLimit(int word) {
    for (const WordLimit& l : kWordLimits)
        if (l.word == word) return l.limit;
    return 0xFFFF;
}
