#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <algorithm>
#include <string>

#include "app/QtPollTimer.h"
#include "support/Rig.h"
#include "support/Wait.h"

namespace {

// A window whose poll timer is the sleeping one under test, on a link with a fake socket.
class PollWindow : public FakeWindow {
 public:
  void LinkStateChanging() override {
    if (timer != nullptr) timer->LinkStateChanging();
  }
  QtPollTimer* timer = nullptr;
};

struct Link : BasicRig<FakeSocket, PollWindow> {
  QtPollTimer timer;

  explicit Link(QtPollTimer::Clock clock = nullptr) : timer(comm, std::move(clock)) {
    window.timer = &timer;
  }

  int Polls() const {
    return static_cast<int>(std::count(socket.wire.begin(), socket.wire.end(), '\xF5'));
  }
  int Calls(const char* call) const {
    return static_cast<int>(std::count(socket.calls.begin(), socket.calls.end(), call));
  }
  int Connects() const { return Calls("connect"); }
};

TEST(SleepingPollTimer, PollsEveryPollIntervalTicksWhileTheLinkIsUp) {
  Link link;
  link.vars.PollInterval = 40;  // a poll every 40 ticks of 2 ms: every 80 ms
  link.vars.TimeOut = 3600;
  link.ComeUp();
  link.timer.setInterval(2);
  QElapsedTimer elapsed;
  elapsed.start();
  link.timer.start();

  ASSERT_TRUE(RunEventLoopUntil([&] { return link.Polls() >= 3; }));
  // Three polls are three full counts of 40 ticks: never sooner, however the wake-ups fall.
  EXPECT_GE(elapsed.elapsed(), 3 * 80);
  EXPECT_EQ(link.vars.PollsOutstanding, link.Polls());
  EXPECT_EQ(link.Connects(), 0);
}

TEST(SleepingPollTimer, CountingTicksCarryOverWhenTheLinkDrops) {
  Link link;
  link.vars.PollInterval = 1000;
  link.ComeUp();
  link.timer.setInterval(1);
  link.timer.start();
  QElapsedTimer elapsed;
  elapsed.start();
  RunEventLoopFor(120);
  link.socket.connected = false;
  link.comm.scktSwitcher_Close();
  // The ticks slept through while up were counted before the link went down.
  EXPECT_GT(link.vars.PollTicks, 50);
  EXPECT_LE(link.vars.PollTicks, elapsed.elapsed() + 1);
}

TEST(SleepingPollTimer, StoppedTimerDoesNothing) {
  Link link;
  link.timer.setInterval(1);
  link.timer.start();
  link.timer.stop();
  RunEventLoopFor(30);
  EXPECT_EQ(link.Connects(), 0);
  EXPECT_FALSE(link.timer.isActive());
}

// The machine is suspended while the timer sleeps; the clock jumps by a thousand periods. A
// periodic timer then gives one late tick, not the thousand it missed: a burst of polls would
// outrun the server's answers and time a healthy link out.
TEST(SleepingPollTimer, AStallGivesOneLateTickInEveryLinkState) {
  enum class Up { Never, BeforeStart, AfterStart };
  struct Case {
    const char* state;
    Up up;
    std::int16_t pollTicks;
    std::int16_t pollsOutstanding;
    const char* after;
  };
  // PollInterval 20 and Time Out 20 at Refresh Rate 1: the 21st unanswered poll times out.
  const Case cases[] = {
      {"down", Up::Never, 0, 0, "connects 1, polls 0, closes 0, PollTicks 0"},
      {"up, awake between polls", Up::AfterStart, 5, 0,
       "connects 0, polls 0, closes 0, PollTicks 6"},
      {"up, asleep until the poll", Up::BeforeStart, 5, 0,
       "connects 0, polls 1, closes 0, PollTicks 0"},
      {"up at the poll moment", Up::BeforeStart, 19, 0,
       "connects 0, polls 1, closes 0, PollTicks 0"},
      {"up at a time-out", Up::BeforeStart, 19, 21, "connects 0, polls 0, closes 1, PollTicks 20"},
  };
  constexpr int kPeriod = 10;
  for (const Case& c : cases) {
    qint64 now = 5000;
    Link link([&now] { return now; });
    link.vars.PollInterval = 20;
    link.vars.PollTicks = c.pollTicks;
    if (c.up == Up::BeforeStart) link.ComeUp();
    link.timer.setInterval(kPeriod);
    link.timer.start();
    if (c.up == Up::AfterStart) link.ComeUp();
    link.vars.PollsOutstanding = c.pollsOutstanding;

    now += 1000 * kPeriod;
    const auto after = [&] {
      return "connects " + std::to_string(link.Connects()) + ", polls " +
             std::to_string(link.Polls()) + ", closes " + std::to_string(link.Calls("close")) +
             ", PollTicks " + std::to_string(link.vars.PollTicks);
    };
    RunEventLoopUntil([&] { return after() == c.after; });
    RunEventLoopFor(5 * kPeriod);  // and nothing more comes
    EXPECT_EQ(after(), c.after) << c.state;
  }
}

}  // namespace
