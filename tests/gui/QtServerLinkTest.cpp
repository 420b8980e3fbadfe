#include <gtest/gtest.h>

#include "app/QtServerLink.h"
#include "support/Fakes.h"
#include "support/LoopbackServer.h"
#include "support/Wait.h"

namespace {

// The poll timer sleeps through the ticks that only count. A link that drops must wake it, or
// the next connect would wait for the poll moment it was sleeping towards.
TEST(ServerLink, ADroppedLinkIsRetriedAtTheNextTickNotAtTheNextPoll) {
  LoopbackServer server;
  ASSERT_TRUE(server.Listen());

  Variables vars;
  FakeWindow window;
  RecordingReporter log;
  QtServerLink link(vars, window, log);
  vars.ServerAddress = "127.0.0.1";
  vars.ServerPort = server.Port();
  vars.PollInterval = 30000;  // at 50 ms a tick, polls 25 minutes apart
  link.SetPollTimerInterval(50);
  link.comm().ConnectToServer();
  link.SetPollTimerEnabled(true);
  // Up, and the timer gone to sleep towards the poll moment.
  ASSERT_TRUE(RunEventLoopUntil(
      [&] { return vars.SocketConnected == kTrue && vars.PollTicks > 0 && server.peer; }));

  server.peer->abort();
  EXPECT_TRUE(RunEventLoopUntil([&] { return server.connections == 2; }, 15000));
  EXPECT_TRUE(log.reports.empty());
}

}  // namespace
