// Termination requests from outside (SIGINT, SIGTERM): handled inside the event loop as a
// close of the main panel would be, so the program ends through its normal shutdown.
#pragma once

#include <functional>

// `handler` runs on the user-interface thread, inside event pumping, once per request; an
// empty one stops handling them.
void OnTerminationRequest(std::function<void()> handler);
