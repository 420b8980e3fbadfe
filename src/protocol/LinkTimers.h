#pragma once

#include <cstdint>

// The poll timer's period, in milliseconds, from the window's creation until the start-up
// settings re-time it.
inline constexpr std::int32_t kFirstPollPeriodMs = 1000;

// What the plain-C++ core needs of the link's two timers: the poll timer tmrPoll and the decode
// timer tmrDecode. The Qt link implements it; tests use a fake that records every call.
class LinkTimers {
 public:
  virtual ~LinkTimers() = default;

  // The poll timer tmrPoll, the one way the panel starts and stops it. Enabling a timer that
  // runs already leaves its ticks where they are; one that was stopped ticks one period later.
  virtual void SetPollTimerEnabled(bool enabled) = 0;
  virtual void SetPollTimerInterval(std::int32_t milliseconds) = 0;

  // The decode timer tmrDecode: switched on when bytes arrive (no effect while it runs).
  virtual void EnableDecodeTimer() = 0;

  // The link is about to go up or down. A poll timer that sleeps through ticks which only
  // count must look again: what the coming ticks do is about to change.
  virtual void LinkStateChanging() {}
};
