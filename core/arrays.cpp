#include "arrays.h"

#include <algorithm>
#include <cstring>

#include "protocol.h"

int Copy1D(const double* source, int n, double* destination) {
    if (n < 1) return kArrayBadCount;
    for (int i = 0; i < n; ++i) destination[i] = source[i];
    return kArrayOk;
}

int MaxMin1D(const double* array, int n, double* max, int* maxIndex, double* min, int* minIndex) {
    if (n < 1) return kArrayBadCount;
    double hi = array[0], lo = array[0];
    int hiAt = 0, loAt = 0;
    // Strict comparisons: the first of equal extremes wins, and a NaN changes nothing.
    for (int i = 0; i < n; ++i) {
        if (array[i] > hi) {
            hi = array[i];
            hiAt = i;
        } else if (array[i] < lo) {
            lo = array[i];
            loAt = i;
        }
    }
    *max = hi;
    *maxIndex = hiAt;
    *min = lo;
    *minIndex = loAt;
    return kArrayOk;
}

int Set1D(double* array, int n, double value) {
    if (n < 1) return kArrayBadCount;
    for (int i = 0; i < n; ++i) array[i] = value;
    return kArrayOk;
}

int Shift(const double* source, int n, int d, double* destination) {
    if (n < 1) return kArrayBadCount;
    if (d >= n || d <= -n) return kArrayBadShift;
    if (d == 0) return Copy1D(source, n, destination);
    // memmove copies as if through a buffer, so in place works; it is the strip charts' cost
    // for every record, and a replay's seek pays it for every record before the place.
    const auto count = static_cast<std::size_t>(n - (d > 0 ? d : -d));
    if (d > 0) {
        std::memmove(destination + d, source, count * sizeof(double));
        std::fill(destination, destination + d, 0.0);
    } else {
        std::memmove(destination, source - d, count * sizeof(double));
        std::fill(destination + count, destination + n, 0.0);
    }
    return kArrayOk;
}

void RingOrder(double* databuf, double* newbuf) {
    constexpr int n = protocol::kSamples;
    const int p = static_cast<int>(databuf[0]);
    databuf[0] = databuf[1];
    for (int i = 0; i < n; ++i) newbuf[i] = databuf[(p + i) % n];
    newbuf[0] = newbuf[2];
    newbuf[1] = newbuf[2];
}
