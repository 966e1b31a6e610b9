// Timer of the run-time contract.
#pragma once

// Seconds since an arbitrary start, monotonic, sub-millisecond resolution.
double Timer();
// Waits without pumping events.
void Delay(double seconds);
