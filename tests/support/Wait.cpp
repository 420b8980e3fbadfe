#include "support/Wait.h"

#include <QEventLoop>
#include <QTimer>

bool RunEventLoopUntil(const std::function<bool()>& condition, int timeoutMs) {
  QEventLoop loop;
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (condition()) loop.quit();
  });
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  check.start(1);
  if (!condition()) loop.exec();
  return condition();
}
