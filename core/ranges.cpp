#include "ranges.h"

#include "arrays.h"
#include "protocol.h"

namespace {

// Low edges below 0 become 1, high edges above 1023 become 1024.
ToleranceWindow Corrected(int low, int high) {
    if (low < 0) low = 1;
    if (high > 1023) high = 1024;
    return {true, static_cast<double>(low), static_cast<double>(high)};
}

}  // namespace

bool DataBufferZoom(const double* data, int ccdmaxpixel, ZoomRange* range) {
    double max = 0, min = 0;
    int maxAt = 0, minAt = 0;
    MaxMin1D(data, protocol::kSamples, &max, &maxAt, &min, &minAt);
    // Every conversion truncates towards zero.
    const int span = static_cast<int>(max - min);
    int low = static_cast<int>(min - span);
    int high = static_cast<int>(max + span);
    if (high > ccdmaxpixel) high = ccdmaxpixel;
    if (low < 1) low = 1;
    if (span < 10) {
        low -= 40;
        high += 40;
    }
    range->low = low;
    range->high = high;
    return low < high;
}

BufferLines DataBufferLines(int eModeA, int tValA, int tValB, int tTol) {
    int c = tValA, h = tTol;
    switch (eModeA) {
        case 0: c = tValB; break;
        case 2:
            h = tTol / 2;
            if (h == 0) h = 1;
            break;
        case 3: c = 512; break;
        default: break;
    }
    BufferLines b;
    b.centre = c;
    b.upper = c + h <= 1023 ? c + h : 1024;
    b.lower = c - h >= 1 ? c - h : 1;
    return b;
}

StripLimits StripChartLimits(int tVal, int tTol) {
    StripLimits s;
    s.upper = tVal + tTol;
    if (s.upper > 1023) s.upper = 1023;
    s.lower = tVal - tTol;
    if (s.lower < 1) s.lower = 1;
    const int half = tTol < 10 ? 40 : 4 * tTol;
    s.low = tVal - half;
    s.high = tVal + half;
    if (s.high > 1023) s.high = 1023;
    if (s.low < 1) s.low = 1;
    return s;
}

ToleranceWindows ToleranceWindowsFor(int evalMode, const ToleranceInputs& in, int posA, int posB) {
    const int tValA = in.tValA, tValB = in.tValB, tTol = in.tTol;
    ToleranceWindows w;
    switch (evalMode) {
        case 0: w.a = Corrected(tValA - tTol, tValA + tTol); break;
        case 1: w.b = Corrected(tValB - tTol, tValB + tTol); break;
        case 2: {
            const int h = tTol / 2;
            int centreA = tValA, centreB = tValB;
            if (in.edcntA != 0 && in.edcntB != 0) {
                const int s = (posA - posB) / 2;  // truncates toward zero
                centreA = tValA + s;
                centreB = tValB - s;
            }
            w.a = Corrected(centreA - h, centreA + h);
            w.b = Corrected(centreB - h, centreB + h);
            break;
        }
        case 3:
            w.a = {true, 1.0, static_cast<double>(tTol)};
            w.b = w.a;
            break;
        default: break;
    }
    return w;
}
