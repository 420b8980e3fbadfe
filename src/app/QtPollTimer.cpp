#include "app/QtPollTimer.h"

#include <algorithm>
#include <utility>

#include "protocol/TCPComm.h"

QtPollTimer::QtPollTimer(TCPComm& comm, Clock clock, QObject* parent)
    : QObject(parent), comm_(comm), clock_(std::move(clock)) {
  wake_.setSingleShot(true);
  // A poll due in 400 ms must not slip by a whole 20 ms tick: coarse timers may.
  wake_.setTimerType(Qt::PreciseTimer);
  connect(&wake_, &QTimer::timeout, this, &QtPollTimer::OnWake);
  if (!clock_) {
    elapsed_.start();
    clock_ = [this] { return elapsed_.elapsed(); };
  }
}

void QtPollTimer::setInterval(int milliseconds) {
  period_ = std::max(1, milliseconds);
  if (active_) start();
}

void QtPollTimer::start() {
  active_ = true;
  nextTick_ = clock_() + period_;
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
  const qint64 now = clock_();
  // Waking more than a period after the moment the wake-up was armed for means the program was
  // held up (a suspended machine, a stopped process, a debugger). Like any periodic timer, the
  // link then gets one late tick for all the time it missed: a burst of polls would outrun the
  // server's answers and time a healthy link out. The counting ticks before that moment were
  // slept through on purpose and still count.
  const bool heldUp = now - armedFor_ > period_;
  HandOver(heldUp ? armedFor_ - 1 : now, countingTicksOnly);
  if (heldUp && active_ && nextTick_ <= now) {
    if (comm_.IdlePollTicksAhead() > 0) {
      nextTick_ = now + period_;
      comm_.SkipPollTicks(1);
    } else if (!countingTicksOnly) {
      nextTick_ = now + period_;
      comm_.tmrPoll_Timer();
    }
  }
  catchingUp_ = false;
}

void QtPollTimer::HandOver(qint64 until, bool countingTicksOnly) {
  while (active_ && nextTick_ <= until) {
    const qint64 due = (until - nextTick_) / period_ + 1;
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
  }
}

void QtPollTimer::ArmForNextAction() {
  if (!active_) return;
  ArmAt(nextTick_ + static_cast<qint64>(comm_.IdlePollTicksAhead()) * period_);
}

void QtPollTimer::ArmAt(qint64 tickTime) {
  armedFor_ = tickTime;
  wake_.start(static_cast<int>(std::clamp<qint64>(tickTime - clock_(), 0, 1 << 30)));
}
