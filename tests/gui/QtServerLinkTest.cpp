#include <gtest/gtest.h>

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include "app/QtServerLink.h"
#include "support/Fakes.h"
#include "support/GuiHelpers.h"

namespace {

// The poll timer sleeps through the ticks that only count. A link that drops must wake it, or
// the next connect would wait for the poll moment it was sleeping towards.
TEST(ServerLink, ADroppedLinkIsRetriedAtTheNextTickNotAtTheNextPoll) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  int connections = 0;
  QPointer<QTcpSocket> peer;
  QObject::connect(&server, &QTcpServer::newConnection, [&] {
    while (QTcpSocket* next = server.nextPendingConnection()) {
      ++connections;
      peer = next;
    }
  });

  Variables vars;
  FakeWindow window;
  RecordingReporter log;
  QtServerLink link(vars, window, log);
  vars.ServerAddress = "127.0.0.1";
  vars.ServerPort = server.serverPort();
  vars.PollInterval = 30000;  // at 50 ms a tick, polls 25 minutes apart
  link.SetPollTimerInterval(50);
  link.comm().ConnectToServer();
  link.SetPollTimerEnabled(true);
  // Up, and the timer gone to sleep towards the poll moment.
  ASSERT_TRUE(RunEventLoopUntil(
      [&] { return vars.SocketConnected == kTrue && vars.PollTicks > 0 && peer; }));

  peer->abort();
  EXPECT_TRUE(RunEventLoopUntil([&] { return connections == 2; }, 15000));
  EXPECT_TRUE(log.reports.empty());
}

}  // namespace
