// Event pumping of the run-time contract, without widgets: what the serial layer and the
// sensor link need of the event loop.
#pragma once

#include <functional>

// Runs pending events and callbacks; waits for the next event instead of spinning, at most
// `wakeAfter` seconds (a few milliseconds, so that callers polling a flag get control back).
// A caller that waits only for events, or a deadline, may pass longer: every wake-up costs.
void ProcessSystemEvents(double wakeAfter = 0.005);
// Runs the event loop until something it runs sets `done`: the main loop of a program without
// panels, whose work ends by itself.
void RunEventLoopUntil(const bool& done);
// Runs `fn` later, from the event loop or the next ProcessSystemEvents, in the order posted.
void PostToEventLoop(std::function<void()> fn);

// Calls `fn` once from the event loop when Timer() has passed `seconds` from now (the test
// clock included: its time passes as events are pumped); returns an id for CancelCall. A
// cancelled or called id is forgotten.
int CallAfter(double seconds, std::function<void()> fn);
void CancelCall(int id);

// Calls `fn` every `seconds` from the event loop until StopPeriodic; returns its id.
int StartPeriodic(double seconds, std::function<void()> fn);
void StopPeriodic(int id);
