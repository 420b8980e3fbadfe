#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "protocol/LinkTimers.h"

class TCPComm;

// The poll timer tmrPoll. To the link it ticks every interval() milliseconds, exactly like a
// periodic timer; but while the link is up most ticks only count towards the next poll, and
// those are not worth waking the program for. So it sleeps until the next tick that does more
// than count, then hands the link the counting ticks that passed in one go. Every poll,
// time-out and reconnection lands on the tick a plain periodic timer would have given it; and,
// as with a periodic timer, a program held up for many periods gets one late tick for them.
class QtPollTimer : public QObject {
  Q_OBJECT

 public:
  // Milliseconds since any fixed moment, never going back. The default is a monotonic clock;
  // a test passes one it can jump, to play a suspended machine without suspending one.
  using Clock = std::function<qint64()>;

  explicit QtPollTimer(TCPComm& comm, Clock clock = nullptr, QObject* parent = nullptr);

  bool isActive() const { return active_; }
  int interval() const { return period_; }
  // As with a periodic timer: (re)starting puts the first tick one period from now.
  void setInterval(int milliseconds);
  void start();
  void stop();

  // The link is about to go up or down: count the ticks that passed while it was as it was,
  // and look again at the next tick, since what the coming ticks do has changed.
  void LinkStateChanging();

 private:
  void OnWake();
  // Hands the link the ticks that are due by now; after a hold-up, one tick for all it missed.
  void CatchUp(bool countingTicksOnly);
  // Hands the link every tick due by `until`: counting ticks in one go, others one by one.
  void HandOver(qint64 until, bool countingTicksOnly);
  // Sleeps until the next tick that does more than count.
  void ArmForNextAction();
  void ArmAt(qint64 tickTime);

  TCPComm& comm_;
  QTimer wake_;
  QElapsedTimer elapsed_;
  Clock clock_;
  qint64 nextTick_ = 0;  // clock_ time of the next tick not yet handed over
  qint64 armedFor_ = 0;  // the tick time the wake-up was last armed for
  int period_ = kFirstPollPeriodMs;
  bool active_ = false;
  bool catchingUp_ = false;
};
