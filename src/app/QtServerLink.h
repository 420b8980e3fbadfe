#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>

#include "app/PanelWindow.h"
#include "app/QtPollTimer.h"
#include "app/Variables.h"
#include "protocol/LinkTimers.h"
#include "protocol/QtSocketComponent.h"
#include "protocol/TCPComm.h"
#include "setup/ErrorReporter.h"

// The link to the Server Module as the window hosts it: the socket component scktSwitcher, the
// decode timer tmrDecode, the sleeping poll timer tmrPoll, and the TCPComm they drive. Their
// events go to TCPComm's handlers, and the two timers' scheduling is settled here with TCPComm
// alone: the window is told only what the operator sees.
class QtServerLink : public QObject, public LinkTimers {
  Q_OBJECT

 public:
  QtServerLink(Variables& vars, PanelWindow& window, ErrorReporter& log, QObject* parent = nullptr);
  ~QtServerLink() override;

  TCPComm& comm() { return comm_; }
  QtSocketComponent& socket() { return scktSwitcher_; }
  QTimer& decodeTimer() { return tmrDecode_; }
  QtPollTimer& pollTimer() { return tmrPoll_; }
  QTimer& logTimer() { return logTick_; }

  // What the core asks of the timers.
  void SetPollTimerEnabled(bool enabled) override;
  void SetPollTimerInterval(std::int32_t milliseconds) override;
  void EnableDecodeTimer() override;
  void LinkStateChanging() override { tmrPoll_.LinkStateChanging(); }

 private:
  void tmrDecode_Timer();

  Variables& vars_;
  QtSocketComponent scktSwitcher_;
  TCPComm comm_;
  QTimer tmrDecode_;
  QtPollTimer tmrPoll_{comm_};
  // Ticks the error log, so that what it holds back is written within a minute even while
  // the poll timer sleeps for many minutes.
  QTimer logTick_;
};
