#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>

class TCPComm;

// The poll timer tmrPoll. To the link it ticks every interval() milliseconds, exactly like a
// periodic timer; but while the link is up most ticks only count towards the next poll, and
// those are not worth waking the program for. So it sleeps until the next tick that does more
// than count, then hands the link the counting ticks that passed in one go. Every poll,
// time-out and reconnection lands on the tick a plain periodic timer would have given it.
class QtPollTimer : public QObject {
  Q_OBJECT

 public:
  QtPollTimer(TCPComm& comm, QObject* parent = nullptr);

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
  // Hands the link every tick that is due by now: counting ticks in one go, others one by one.
  void CatchUp(bool countingTicksOnly);
  // Sleeps until the next tick that does more than count.
  void ArmForNextAction();
  void ArmAt(qint64 tickTime);

  TCPComm& comm_;
  QTimer wake_;
  QElapsedTimer clock_;
  qint64 nextTick_ = 0;  // clock_ time of the next tick not yet handed over
  int period_ = 1000;
  bool active_ = false;
  bool catchingUp_ = false;
};
