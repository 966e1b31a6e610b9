#include "timer.h"

#include <chrono>
#include <thread>

namespace {

double g_offset = 0.0;
double g_step = 0.0;

}  // namespace

double Timer() {
    using Clock = std::chrono::steady_clock;
    static const Clock::time_point start = Clock::now();
    return std::chrono::duration<double>(Clock::now() - start).count() + g_offset;
}

void Delay(double seconds) {
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

void AdvanceTestClock(double seconds) {
    if (seconds > 0) g_offset += seconds;
}

void SetTestClockStep(double step) { g_step = step > 0 ? step : 0.0; }

double TestClockStep() { return g_step; }
