#include <gtest/gtest.h>

#include "app/QtServerLink.h"
#include "setup/ErrorLog.h"
#include "setup/Failure.h"
#include "support/Bytes.h"
#include "support/Fakes.h"
#include "support/LoopbackServer.h"
#include "support/TempFolder.h"
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

// At Refresh Rate 50 a link that stays up gives the poll timer work once in 1,000 s. What the
// log holds back (here a count of repeats) must not wait for that: the link's host ticks the
// log every half minute.
TEST(ServerLink, TheLogsHeldBackCountsAreWrittenWhileThePollTimerSleeps) {
  LoopbackServer server;
  ASSERT_TRUE(server.Listen());
  TempFolder folder;
  Variables vars;
  vars.AppFolder = folder.WithSeparator();
  FakeClock clock;
  ErrorLog log(vars, clock);
  FakeWindow window;
  QtServerLink link(vars, window, log);
  vars.ServerAddress = "127.0.0.1";
  vars.ServerPort = server.Port();
  vars.RefreshRate = 50;
  vars.PollInterval = 1000;
  link.SetPollTimerInterval(1000);
  link.comm().ConnectToServer();
  link.SetPollTimerEnabled(true);
  ASSERT_TRUE(RunEventLoopUntil([&] { return vars.SocketConnected == kTrue && server.peer; }));
  EXPECT_TRUE(link.logTimer().isActive());
  EXPECT_LE(link.logTimer().interval(), 30 * 1000);

  for (int i = 0; i < 3; ++i) {
    try {
      throw Failure(13, "mismatch");
    } catch (...) {
      log.ReportError("Error Processing Command", "Decode Error");
    }
  }
  clock.now.second += ErrorLog::kRepeatSeconds;
  link.logTimer().setInterval(10);  // the half minute, shortened
  EXPECT_TRUE(RunEventLoopUntil(
      [&] { return Contains(folder.Read("Errorlog.txt"), "Last report repeated 2 times"); }));
}

}  // namespace
