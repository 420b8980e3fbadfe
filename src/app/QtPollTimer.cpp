#include "app/QtPollTimer.h"

#include <algorithm>

#include "protocol/TCPComm.h"

QtPollTimer::QtPollTimer(TCPComm& comm, QObject* parent) : QObject(parent), comm_(comm) {
  wake_.setSingleShot(true);
  // A poll due in 400 ms must not slip by a whole 20 ms tick: coarse timers may.
  wake_.setTimerType(Qt::PreciseTimer);
  connect(&wake_, &QTimer::timeout, this, &QtPollTimer::OnWake);
  clock_.start();
}

void QtPollTimer::setInterval(int milliseconds) {
  period_ = std::max(1, milliseconds);
  if (active_) start();
}

void QtPollTimer::start() {
  active_ = true;
  nextTick_ = clock_.elapsed() + period_;
  ArmForNextAction();
}

void QtPollTimer::stop() {
  active_ = false;
  wake_.stop();
}

void QtPollTimer::LinkStateChanging() {
  if (!active_) return;
  // Only counting ticks are handed over here: the link is in the middle of an operation and
  // must not be re-entered. A due tick that does more waits for the wake-up armed below.
  CatchUp(true);
  ArmAt(nextTick_);
}

void QtPollTimer::OnWake() {
  if (!active_) return;
  CatchUp(false);
  ArmForNextAction();
}

void QtPollTimer::CatchUp(bool countingTicksOnly) {
  if (catchingUp_) return;
  catchingUp_ = true;
  const qint64 now = clock_.elapsed();
  while (active_ && nextTick_ <= now) {
    const qint64 due = (now - nextTick_) / period_ + 1;
    const std::int32_t counting = comm_.IdlePollTicksAhead();
    if (counting > 0) {
      const qint64 skipped = std::min<qint64>(counting, due);
      comm_.SkipPollTicks(static_cast<std::int32_t>(skipped));
      nextTick_ += skipped * period_;
      continue;
    }
    if (countingTicksOnly) break;
    comm_.tmrPoll_Timer();
    nextTick_ += period_;
    // Like any periodic timer, a program that was held up (a suspended machine) gets one tick
    // for the time it missed, not a burst of connect attempts.
    if (comm_.IdlePollTicksAhead() == 0 && now - nextTick_ >= period_) {
      nextTick_ += ((now - nextTick_) / period_) * period_;
    }
  }
  catchingUp_ = false;
}

void QtPollTimer::ArmForNextAction() {
  if (!active_) return;
  ArmAt(nextTick_ + static_cast<qint64>(comm_.IdlePollTicksAhead()) * period_);
}

void QtPollTimer::ArmAt(qint64 tickTime) {
  wake_.start(static_cast<int>(std::clamp<qint64>(tickTime - clock_.elapsed(), 0, 1 << 30)));
}
