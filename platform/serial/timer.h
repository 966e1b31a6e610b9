// Timer of the run-time contract.
#pragma once

// Seconds since an arbitrary start, monotonic, sub-millisecond resolution.
double Timer();
// Waits without pumping events.
void Delay(double seconds);

// Test clock: Timer() runs ahead of the real clock by what was added here, and every
// ProcessSystemEvents adds `step` seconds (0, the default: real time only). A test of a
// time-out then takes no wall time, and can make a reply and a time-out meet in one pass.
void AdvanceTestClock(double seconds);
void SetTestClockStep(double step);
double TestClockStep();
