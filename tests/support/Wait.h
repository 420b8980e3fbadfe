#pragma once

#include <functional>

// Runs the event loop as the program does (no pauses between passes) until the condition
// holds or timeoutMs has passed; returns the condition. Every test that waits for the socket,
// a timer or a window waits through this.
bool RunEventLoopUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// Runs the event loop for a while: time passing with the program at work.
inline void RunEventLoopFor(int ms) {
  RunEventLoopUntil([] { return false; }, ms);
}
