#include "app/QtServerLink.h"

namespace {

// How often the error log is ticked: a held-back count or summary is then at most this late.
constexpr int kLogTickMs = 30 * 1000;

}  // namespace

QtServerLink::QtServerLink(Variables& vars, PanelWindow& window, ErrorReporter& log,
                           QObject* parent)
    : QObject(parent), vars_(vars), comm_(vars, scktSwitcher_, window, *this, log) {
  tmrDecode_.setObjectName(QStringLiteral("tmrDecode"));
  // Runs only while received bytes wait, as fast as the event loop allows, a few milliseconds
  // of messages per timeout so that clicks and repaints get their turn between them.
  tmrDecode_.setInterval(0);
  tmrPoll_.setObjectName(QStringLiteral("tmrPoll"));

  connect(&tmrDecode_, &QTimer::timeout, this, [this] { tmrDecode_Timer(); });

  // Half a minute is a wake-up the idle panel never notices, and the log is ticked whether the
  // link is up, down, or not yet configured.
  logTick_.setObjectName(QStringLiteral("logTick"));
  logTick_.setTimerType(Qt::VeryCoarseTimer);
  logTick_.setInterval(kLogTickMs);
  connect(&logTick_, &QTimer::timeout, this, [&log] { log.Tick(); });
  logTick_.start();

  connect(&scktSwitcher_, &QtSocketComponent::Connected, this,
          [this] { comm_.scktSwitcher_Connect(); });
  connect(&scktSwitcher_, &QtSocketComponent::DataArrival, this,
          [this](qint16 bytesTotal) { comm_.scktSwitcher_DataArrival(bytesTotal); });
  connect(&scktSwitcher_, &QtSocketComponent::Disconnected, this,
          [this] { comm_.scktSwitcher_Close(); });
}

QtServerLink::~QtServerLink() {
  // The socket is destroyed after TCPComm; whatever it raises as it goes must not reach it.
  scktSwitcher_.disconnect(this);
  tmrDecode_.stop();
  tmrPoll_.stop();
  logTick_.stop();
}

void QtServerLink::tmrDecode_Timer() {
  // Nothing waits, or only the front of a message that has not fully arrived: sleep until
  // the socket brings more bytes.
  if (vars_.ReceiveBuffer.empty() || comm_.DecodeStalled()) {
    tmrDecode_.stop();
    return;
  }
  // A slice of messages per timeout: a queue of short messages drains in a fraction of the
  // time one per pass of the event loop would take, and clicks and repaints still come
  // between slices.
  const auto deadline = DecodeClock::now() + kDecodeSlice;
  do {
    comm_.tmrDecode_Timer();
  } while (!vars_.ReceiveBuffer.empty() && !comm_.DecodeStalled() && DecodeClock::now() < deadline);
}

void QtServerLink::SetPollTimerEnabled(bool enabled) {
  if (enabled) {
    // Enabling a running timer leaves its ticks where they are.
    if (!tmrPoll_.isActive()) tmrPoll_.start();
  } else {
    tmrPoll_.stop();
  }
}

void QtServerLink::SetPollTimerInterval(std::int32_t milliseconds) {
  tmrPoll_.setInterval(milliseconds);
}

void QtServerLink::EnableDecodeTimer() {
  if (!tmrDecode_.isActive()) tmrDecode_.start();
}
