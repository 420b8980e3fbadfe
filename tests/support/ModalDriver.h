#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

// Acts on the next modal window once it is open, from inside its own event loop, so a test
// never hangs waiting for a click: polls every 10 ms, gives up after timeoutMs.
inline void WhenModalOpens(std::function<void(QWidget*)> action, int timeoutMs = 10000) {
  auto* poll = new QTimer(qApp);
  auto* since = new QElapsedTimer;
  since->start();
  QObject::connect(poll, &QTimer::timeout, poll, [poll, since, action, timeoutMs] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr && !since->hasExpired(timeoutMs)) return;
    poll->stop();
    poll->deleteLater();
    delete since;
    if (modal == nullptr) {
      ADD_FAILURE() << "no modal window opened within " << timeoutMs << " ms";
      return;
    }
    action(modal);
  });
  poll->start(10);
}
