#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/Failure.h"
#include "support/Rig.h"

namespace {

const std::string kInfoRequest256And1("\xF2\x00\x02\x00\x00\x01\x00\x00\x00\x00\x00\x03\xFF", 13);

struct Link : Rig {
  explicit Link(std::int16_t refreshRate = 1, std::int16_t timeOut = 20) {
    vars.ServerAddress = "10.0.0.7";
    vars.RefreshRate = refreshRate;
    vars.TimeOut = timeOut;
    vars.PollInterval = refreshRate * 20;
  }

  // What the poll timer did over a run of ticks.
  struct Run {
    std::vector<int> pollTicks;  // ticks at which something was written
    int closedAt = 0;            // tick at which the link last went down
    int timerCalls = 0;
  };
  // One tick of the poll timer, noted in the run as tick number `tick`.
  void Tick(int tick, Run& run) {
    const std::size_t written = socket.writes.size();
    const bool wasUp = vars.SocketConnected == kTrue;
    comm.tmrPoll_Timer();
    ++run.timerCalls;
    if (socket.writes.size() != written) run.pollTicks.push_back(tick);
    if (wasUp && vars.SocketConnected == kFalse) run.closedAt = tick;
  }
  Run Tick(int ticks) {
    Run run;
    for (int tick = 1; tick <= ticks; ++tick) Tick(tick, run);
    return run;
  }
};

std::vector<int> Multiples(int step, int count) {
  std::vector<int> ticks;
  for (int i = 1; i <= count; ++i) ticks.push_back(i * step);
  return ticks;
}

TEST(PollTimer, UnansweredAtRate1Sends21PollsThenClosesAndReconnectsNextTick) {
  Link link(1, 20);
  link.ComeUp();

  const Link::Run run = link.Tick(22 * 20);

  EXPECT_EQ(run.pollTicks, Multiples(20, 21));
  EXPECT_EQ(link.socket.wire, std::string(21, '\xF5'));
  EXPECT_EQ(run.closedAt, 22 * 20);
  EXPECT_EQ(link.vars.PollsOutstanding, 0);
  EXPECT_EQ(link.vars.SwitcherConnected, kFalse);
  EXPECT_EQ(link.socket.calls.back(), "disconnect");

  link.socket.calls.clear();
  link.comm.tmrPoll_Timer();
  EXPECT_EQ(link.socket.calls, (std::vector<std::string>{"host 10.0.0.7", "port 1250", "connect"}));
  EXPECT_TRUE(link.log.reports.empty());
}

TEST(PollTimer, UnansweredAtRate3ClosesWithSevenOutstanding) {
  Link link(3, 20);
  link.ComeUp();

  const Link::Run sent = link.Tick(7 * 60);
  EXPECT_EQ(sent.pollTicks, Multiples(60, 7));
  EXPECT_EQ(link.vars.PollsOutstanding, 7);
  EXPECT_EQ(link.vars.SocketConnected, kTrue);

  const Link::Run closing = link.Tick(60);
  EXPECT_TRUE(closing.pollTicks.empty());
  EXPECT_EQ(closing.closedAt, 60);
  EXPECT_EQ(link.socket.wire, std::string(7, '\xF5'));
}

TEST(PollTimer, TickCountSurvivesTimeOutSoFirstTickOnNewLinkPolls) {
  Link link(1, 20);
  link.ComeUp();
  EXPECT_EQ(link.Tick(22 * 20).closedAt, 22 * 20);
  EXPECT_EQ(link.vars.PollTicks, 20);

  link.comm.tmrPoll_Timer();  // down: connects
  link.ComeUp();
  EXPECT_EQ(link.vars.PollsOutstanding, 0);
  link.socket.wire.clear();

  EXPECT_EQ(link.Tick(1).pollTicks, std::vector<int>{1});
  EXPECT_EQ(link.socket.wire, "\xF5");
  EXPECT_EQ(link.vars.PollsOutstanding, 1);
}

TEST(PollTimer, ConnectionMadeMidCountPollsWhenCountCompletes) {
  Link link(1, 20);
  link.vars.PollTicks = 15;
  link.ComeUp();
  EXPECT_EQ(link.Tick(5).pollTicks, std::vector<int>{5});
}

TEST(PollTimer, PendingInfoRequestReplacesPollAndCountsAsOutstanding) {
  Link link(1, 20);
  link.vars.PollInterval = 1;
  link.vars.InfoRequestFlags = 256;
  link.vars.InfoRequestFlags2 = 1;
  link.ComeUp();

  link.Tick(2);
  EXPECT_EQ(link.socket.writes,
            (std::vector<std::string>{kInfoRequest256And1, kInfoRequest256And1}));
  EXPECT_EQ(link.vars.PollsOutstanding, 2);

  link.vars.InfoRequestFlags = 0;
  link.vars.InfoRequestFlags2 = 0;
  link.Tick(1);
  EXPECT_EQ(link.socket.writes.back(), "\xF5");
  EXPECT_EQ(link.vars.PollsOutstanding, 3);
}

TEST(PollTimer, OnlyLinkStateAnswersResetTheOutstandingCount) {
  Link link(1, 20);
  link.vars.PollInterval = 1;
  link.ComeUp();
  link.Tick(3);
  ASSERT_EQ(link.vars.PollsOutstanding, 3);

  // The server's own poll, a no-action byte and a message without a handler are no answers.
  link.vars.ReceiveBuffer.Append(std::string("\xF5\xF3\xFE\x10\x10\xFF", 6));
  for (int i = 0; i < 3; ++i) link.comm.ProcessReceiveBuffer();
  EXPECT_TRUE(link.vars.ReceiveBuffer.empty());
  EXPECT_EQ(link.vars.PollsOutstanding, 3);

  link.Receive("\xF1");
  EXPECT_EQ(link.vars.PollsOutstanding, 0);

  link.Tick(2);
  link.Receive("\xF4");
  EXPECT_EQ(link.vars.PollsOutstanding, 0);
}

TEST(Connection, RefusedConnectClosesAtOnceWithoutReportAndRetriesNextTick) {
  Link link;
  link.socket.connectStatus = 10061;

  link.comm.tmrPoll_Timer();
  EXPECT_EQ(link.socket.calls, (std::vector<std::string>{"host 10.0.0.7", "port 1250", "connect",
                                                         "close", "disconnect"}));
  EXPECT_EQ(link.vars.SocketConnected, kFalse);

  link.comm.tmrPoll_Timer();
  EXPECT_EQ(link.socket.calls.size(), 10u);
  EXPECT_EQ(link.vars.PollTicks, 0);  // ticks are not counted while down
  EXPECT_TRUE(link.log.reports.empty());
}

TEST(Connection, DisconnectedEventClearsBothFlagsAndKeepsEverythingElse) {
  Link link;
  link.ComeUp();
  link.vars.SwitcherConnected = kTrue;
  link.vars.PollsOutstanding = 4;
  link.vars.PollTicks = 9;
  link.vars.InfoRequestFlags = 256;
  link.vars.ReceiveBuffer.Append("\xFC\x01");

  link.comm.scktSwitcher_Close();
  link.comm.scktSwitcher_Close();  // again while down: closes again, flags stay false

  EXPECT_EQ(link.vars.SocketConnected, kFalse);
  EXPECT_EQ(link.vars.SwitcherConnected, kFalse);
  EXPECT_EQ(link.vars.PollsOutstanding, 4);
  EXPECT_EQ(link.vars.PollTicks, 9);
  EXPECT_EQ(link.vars.InfoRequestFlags, 256);
  EXPECT_EQ(link.vars.ReceiveBuffer.size(), 2u);
  EXPECT_EQ(link.socket.calls,
            (std::vector<std::string>{"close", "disconnect", "close", "disconnect"}));
}

TEST(LinkLamp, HearsEachChangeOnceInOrderAndNothingInBetween) {
  Link link(1, 20);

  link.comm.tmrPoll_Timer();  // connects: still down, but now to a known server
  link.comm.tmrPoll_Timer();  // again: nothing new to show
  link.ComeUp();
  link.Receive("\xF4");
  link.Receive("\xF4");
  link.Receive("\xF1");
  link.Receive("\xF4");
  link.Tick(22 * 20);  // no answer: timed out
  link.comm.tmrPoll_Timer();
  link.ComeUp();
  link.comm.scktSwitcher_Close();
  // Up reported on a link whose socket has gone: the failed request closes it, and the lamp
  // stays at no connection rather than passing through "up".
  link.socket.connected = false;
  link.comm.ShowConnection(kTrue);

  EXPECT_EQ(
      link.window.linkStates,
      (std::vector<std::string>{"none 10.0.0.7:1250", "server 10.0.0.7:1250", "up 10.0.0.7:1250",
                                "server 10.0.0.7:1250", "up 10.0.0.7:1250", "none 10.0.0.7:1250",
                                "server 10.0.0.7:1250", "none 10.0.0.7:1250"}));
}

TEST(LinkLamp, ANewLinkStartsAmberWhateverTheLastOneDecodedAfterItsClose) {
  // The server sends F3 F4 and closes at once; the F4 is decoded on the dead link.
  Link link;
  link.ComeUp();
  link.Buffer("\xF3\xF4");
  link.comm.ProcessReceiveBuffer();
  link.socket.connected = false;
  link.comm.scktSwitcher_Close();
  link.comm.tmrDecode_Timer();

  link.socket.writes.clear();
  link.ComeUp();
  EXPECT_EQ(link.window.linkStates.back(), "server 10.0.0.7:1250");
  link.Receive("\xF4");  // this server's first word: the link is up, ask for the names
  EXPECT_EQ(link.socket.writes, std::vector<std::string>{kInfoRequest256And1});
  EXPECT_EQ(link.window.linkStates.back(), "up 10.0.0.7:1250");
}

// A socket whose close request is refused.
class RefusingSocket : public FakeSocket {
 public:
  void RequestClose() override { throw Failure(kSocketFailure, "close refused"); }
};

TEST(Connection, RefusedCloseIsReportedOnceAndLeavesFlagsAsTheyWere) {
  BasicRig<RefusingSocket> rig;
  rig.vars.SocketConnected = kTrue;
  rig.vars.SwitcherConnected = kTrue;

  rig.comm.scktSwitcher_Close();

  EXPECT_EQ(rig.vars.SocketConnected, kTrue);
  EXPECT_EQ(rig.vars.SwitcherConnected, kTrue);
  ASSERT_EQ(rig.log.Texts(), (Texts{"Connection Error: Error Disconnecting from Server"}));
  EXPECT_EQ(rig.log.reports[0].code, kSocketFailure);
}

// Runs the same unanswered link twice, once tick by tick and once letting idle ticks pass
// unseen, and records at which tick each poll and each close happened.
Link::Run RunWithSkipping(Link& link, int ticks, bool skip) {
  Link::Run run;
  int tick = 0;
  while (tick < ticks) {
    const std::int32_t idle = skip ? link.comm.IdlePollTicksAhead() : 0;
    if (idle > 0) {
      const std::int32_t n = std::min(idle, ticks - tick);
      link.comm.SkipPollTicks(n);
      tick += n;
      continue;
    }
    link.Tick(++tick, run);
    if (link.vars.SocketConnected == kFalse && link.socket.calls.back() == "connect") link.ComeUp();
  }
  return run;
}

TEST(PollTimer, SkippingIdleTicksPollsAndClosesOnTheSameTicks) {
  for (std::int16_t rate : {1, 3}) {
    Link oneByOne(rate, 20);
    Link skipping(rate, 20);
    oneByOne.ComeUp();
    skipping.ComeUp();
    const int ticks = 2000 * rate;
    const Link::Run expected = RunWithSkipping(oneByOne, ticks, false);
    const Link::Run actual = RunWithSkipping(skipping, ticks, true);
    EXPECT_EQ(actual.pollTicks, expected.pollTicks) << "rate " << rate;
    EXPECT_NE(expected.closedAt, 0);
    EXPECT_EQ(actual.closedAt, expected.closedAt) << "rate " << rate;
    EXPECT_EQ(skipping.socket.wire, oneByOne.socket.wire);
    EXPECT_LT(actual.timerCalls * 5, expected.timerCalls);  // the idle ticks really went unseen
  }
}

TEST(PollTimer, HugeIntervalStillPollsWhenTheTickCountIsFull) {
  Link link(32500, 3600);
  link.ComeUp();

  link.comm.SkipPollTicks(link.comm.IdlePollTicksAhead());
  EXPECT_EQ(link.vars.PollTicks, 32766);
  link.comm.SkipPollTicks(1000000);
  EXPECT_EQ(link.vars.PollTicks, 32767);
  link.vars.PollTicks = 32766;
  link.comm.tmrPoll_Timer();
  EXPECT_EQ(link.socket.wire, "\xF5");
  EXPECT_TRUE(link.log.reports.empty());
}

}  // namespace
