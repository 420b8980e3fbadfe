#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/Bytes.h"
#include "support/Rig.h"

namespace {

const std::string kTypeRequest = Bytes({0x81, 0x64, 0x64, 0xFF});
const std::string kTypeAnswer = Bytes({0x81, 0x09, 0x01, 0x0A, 0xFF});

struct Panel : Rig {
  Panel() {
    Connected();
    window.decodeTimerEnabled = false;
  }
  // The socket announces one segment.
  void Arrive(const std::string& bytes) {
    socket.QueueIncoming(bytes);
    comm.scktSwitcher_DataArrival(static_cast<std::int16_t>(bytes.size()));
  }
};

TEST(Dispatcher, EmptiesABufferOfStrayDataBytes) {
  Panel p;
  p.Receive(Bytes({0x01, 0x02, 0x03}));
  EXPECT_TRUE(p.vars.ReceiveBuffer.empty());
  EXPECT_TRUE(p.socket.writes.empty());
  EXPECT_TRUE(p.log.reports.empty());
}

TEST(Dispatcher, DropsStrayDataBytesBeforeACommandInTheSameCall) {
  Panel p;
  p.vars.PollsOutstanding = 5;
  p.Receive(Bytes({0x05, 0xF4}));
  EXPECT_TRUE(p.vars.ReceiveBuffer.empty());
  EXPECT_EQ(p.vars.PollsOutstanding, 0);
  EXPECT_EQ(p.vars.SwitcherConnected, kTrue);
}

TEST(Dispatcher, LinkUpIsShownOnceAndRepeatsOnlyResetTheCount) {
  Panel p;
  p.Receive(Bytes({0xF4, 0xF4}));
  EXPECT_EQ(p.vars.SwitcherConnected, kTrue);
  ASSERT_EQ(p.socket.writes.size(), 1u);
  EXPECT_EQ(p.socket.writes[0].size(), 13u);  // the name-table request
  EXPECT_EQ(p.Left(), "\xF4");

  p.vars.PollsOutstanding = 2;
  p.comm.ProcessReceiveBuffer();
  EXPECT_EQ(p.vars.PollsOutstanding, 0);
  EXPECT_EQ(p.socket.writes.size(), 1u);
}

TEST(Dispatcher, LinkDownWhileAlreadyDownOnlyResetsTheCount) {
  Panel p;
  p.vars.PollsOutstanding = 3;
  p.Receive("\xF1");
  EXPECT_EQ(p.vars.PollsOutstanding, 0);
  EXPECT_EQ(p.vars.SwitcherConnected, kFalse);

  // Only exactly -1 counts as shown up.
  p.vars.SwitcherConnected = 1;
  p.Receive("\xF1");
  EXPECT_EQ(p.vars.SwitcherConnected, 1);
  EXPECT_TRUE(p.socket.writes.empty());
}

TEST(Dispatcher, AnswersEachServerPollInItsOwnCall) {
  Panel p;
  p.Receive(Bytes({0xF5, 0xF5}));
  EXPECT_EQ(p.socket.writes, std::vector<std::string>{"\xF4"});
  p.comm.ProcessReceiveBuffer();
  EXPECT_EQ(p.socket.writes, (std::vector<std::string>{"\xF4", "\xF4"}));
  EXPECT_TRUE(p.vars.ReceiveBuffer.empty());
}

TEST(Dispatcher, IncompleteMessageWaitsAndIsCutAtTheCommandFoundInsideIt) {
  Panel p;
  p.vars.PollsOutstanding = 4;
  const std::string waiting = Bytes({0xFC, 0x01, 0x02, 0xF4});
  p.Receive(waiting);
  EXPECT_EQ(p.Left(), waiting);
  EXPECT_EQ(p.vars.PollsOutstanding, 4);
  EXPECT_TRUE(p.comm.DecodeStalled());

  p.Receive("\xFF");
  EXPECT_EQ(p.vars.PollsOutstanding, 0);
  EXPECT_EQ(p.Left(), "\xFF");
  EXPECT_FALSE(p.comm.DecodeStalled());
}

TEST(Dispatcher, BrokenMessageLeavesItsTailToBeDiscarded) {
  Panel p;
  p.vars.PollsOutstanding = 4;
  p.Receive(Bytes({0xE5, 0x01, 0xF4, 0x22, 0xFF}));
  EXPECT_EQ(p.vars.PollsOutstanding, 0);
  EXPECT_EQ(p.Left(), Bytes({0x22, 0xFF}));

  p.comm.ProcessReceiveBuffer();
  EXPECT_TRUE(p.vars.ReceiveBuffer.empty());
  EXPECT_EQ(p.vars.SwitcherType, 0);
  EXPECT_TRUE(p.log.reports.empty());
}

TEST(Dispatcher, ConsumesWholeMessagesWithoutHandlerOrWithoutData) {
  Panel p;
  p.Receive(Bytes({0xFE, 0x10, 0x10, 0xFF, 0xD6, 0xFF, 0xF4}));
  EXPECT_EQ(p.Left(), Bytes({0xD6, 0xFF, 0xF4}));
  p.comm.ProcessReceiveBuffer();
  EXPECT_EQ(p.Left(), "\xF4");
  EXPECT_TRUE(p.socket.writes.empty());
  EXPECT_EQ(p.window.onColour, FakeWindow().onColour);
  EXPECT_TRUE(p.log.reports.empty());
}

TEST(Dispatcher, ASwitcherTypeReportWithZeroBytesInsideIsStoredWhole) {
  Panel p;
  p.Receive(Bytes({0xE5, 0x01, 0x00, 0x00, 0x05, 0x01, 0x00, 0x00, 0x07, 0xFF}));
  EXPECT_EQ(p.vars.SwitcherType, 133);
}

TEST(Dispatcher, MessageOfLegalLengthWaitsForItsEndAndIsDroppedOncePastIt) {
  Panel p;
  std::string longest(static_cast<std::size_t>(kMaxMessageLength), '\x41');
  longest[0] = '\xFC';
  p.Receive(longest);
  EXPECT_EQ(p.vars.ReceiveBuffer.size(), static_cast<std::size_t>(kMaxMessageLength));
  EXPECT_TRUE(p.comm.DecodeStalled());

  p.Buffer("\x41\xF4");
  p.vars.PollsOutstanding = 3;

  p.comm.ProcessReceiveBuffer();
  EXPECT_TRUE(p.vars.ReceiveBuffer.empty());
  EXPECT_EQ(p.vars.PollsOutstanding, 0);  // what followed the junk is decoded
  EXPECT_FALSE(p.comm.DecodeStalled());
  EXPECT_TRUE(p.log.reports.empty());
}

TEST(DataArrival, DispatchesOneMessagePerArrivalAndTheTimerTakesTheNext) {
  Panel p;
  p.Arrive(kTypeRequest + "\xF5");
  EXPECT_TRUE(p.window.decodeTimerEnabled);
  EXPECT_EQ(p.socket.writes, std::vector<std::string>{kTypeAnswer});

  p.comm.tmrDecode_Timer();
  EXPECT_EQ(p.socket.writes, (std::vector<std::string>{kTypeAnswer, "\xF4"}));
  p.comm.tmrDecode_Timer();  // empty: nothing more
  EXPECT_EQ(p.socket.writes.size(), 2u);
}

TEST(DataArrival, MessageSplitOverTwoArrivalsIsDispatchedWhenComplete) {
  Panel p;
  p.Arrive(kTypeRequest.substr(0, 2));
  EXPECT_TRUE(p.socket.writes.empty());
  EXPECT_TRUE(p.comm.DecodeStalled());

  p.Arrive(kTypeRequest.substr(2));
  EXPECT_EQ(p.socket.writes, std::vector<std::string>{kTypeAnswer});
  EXPECT_TRUE(p.vars.ReceiveBuffer.empty());
}

TEST(DataArrival, DrainsWithReadsOfOneMoreThanAnnounced) {
  Panel p;
  p.socket.QueueIncoming("\xF3\xF3\xF3");
  p.socket.QueueIncoming("\xF3\xF3");
  p.comm.scktSwitcher_DataArrival(2);
  EXPECT_EQ(p.socket.readMaxima, (std::vector<std::int32_t>{3, 3, 3}));
  EXPECT_EQ(p.vars.ReceiveBuffer.size(), 4u);  // one consumed by the dispatcher
}

TEST(DataArrival, NothingToReadStillStartsTheTimerAndDecodes) {
  Panel p;
  p.Buffer("\xF5");
  p.comm.scktSwitcher_DataArrival(1);
  EXPECT_TRUE(p.window.decodeTimerEnabled);
  EXPECT_EQ(p.socket.writes, std::vector<std::string>{"\xF4"});
}

TEST(DataArrival, AReportFollowedByTheServerClosingIsStillDecoded) {
  // The server reports channel 3 on console 5 on, then closes: the last read ends with a
  // connection error, not "would block".
  Panel p;
  p.vars.SelectedSource = 3;
  p.vars.SelectedConsole = 5;
  p.socket.errorWhenEmpty = 10054;
  p.Arrive(std::string("\xD6\x7F\x00\x01\x02\x00\x04\x00\x01\x07\xFF", 11));
  EXPECT_TRUE(p.window.decodeTimerEnabled);
  EXPECT_EQ(p.window.onColour, 0xFFFFC0u);
  EXPECT_TRUE(p.vars.ReceiveBuffer.empty());
}

TEST(DataArrival, UnusableAnnouncedLengthIsReportedAndNothingIsRead) {
  for (std::int16_t announced : {0, -5, 32767}) {
    Panel p;
    p.socket.QueueIncoming("\xF5");
    p.comm.scktSwitcher_DataArrival(announced);
    EXPECT_TRUE(p.socket.readMaxima.empty()) << announced;
    EXPECT_TRUE(p.socket.writes.empty());
    EXPECT_EQ(p.log.Texts(), (Texts{"Socket Error: Error Receiving IP Message"})) << announced;
  }
}

// A server sending faster than the panel decodes: the socket keeps what the panel does not take.
struct Flooded : Panel {
  Flooded() { socket.recordEachWrite = false; }
  // Queues bytes with the socket in reads' worth of pieces.
  void Send(const std::string& bytes) {
    for (std::size_t at = 0; at < bytes.size(); at += 32767) {
      socket.QueueIncoming(bytes.substr(at, 32767));
    }
  }
  // Runs the socket's events and the decode timer until all is taken and decoded, the way the
  // adapter does: a resume raises data arrival again. Returns the largest backlog seen.
  std::size_t Pump() {
    std::size_t largest = 0;
    int resumesSeen = 0;
    comm.scktSwitcher_DataArrival(32766);
    for (int round = 0; round < 10'000'000; ++round) {
      largest = std::max(largest, vars.ReceiveBuffer.size());
      if (socket.resumes > resumesSeen) {
        resumesSeen = socket.resumes;
        comm.scktSwitcher_DataArrival(32766);
      } else if (!vars.ReceiveBuffer.empty() && !comm.DecodeStalled()) {
        comm.tmrDecode_Timer();
      } else {
        break;
      }
    }
    return largest;
  }
};

constexpr std::size_t kBound = kReceiveBacklogBound;

TEST(DataArrival, AFloodOfPollsIsHeldBackWithTheSocketAndEveryOneAnswered) {
  Flooded p;
  const std::size_t polls = kBound + 200'000;
  p.Send(std::string(polls, '\xF5'));

  p.comm.scktSwitcher_DataArrival(32766);
  // Over the bound the panel stops taking bytes; the rest waits with the socket.
  EXPECT_GT(p.vars.ReceiveBuffer.size(), kBound);
  EXPECT_LE(p.vars.ReceiveBuffer.size(), kBound + 32767);
  EXPECT_FALSE(p.socket.incoming.empty());
  EXPECT_EQ(p.socket.resumes, 0);
  EXPECT_TRUE(p.window.decodeTimerEnabled);

  // Decoding makes room, the socket is asked again, and nothing is lost on the way.
  EXPECT_LE(p.Pump(), kBound + 32767);
  EXPECT_GE(p.socket.resumes, 1);
  EXPECT_TRUE(p.socket.incoming.empty());
  EXPECT_TRUE(p.vars.ReceiveBuffer.empty());
  EXPECT_EQ(p.socket.wire, std::string(polls, '\xF4'));
  EXPECT_TRUE(p.log.reports.empty());
}

TEST(DataArrival, AnIncompleteMessagePastTheBoundStillLosesItsCommandByte) {
  // 2.2 MB of a framed message that never ends, then a poll: the panel must not wait for the
  // message's end forever with the poll stuck behind it in the socket.
  Flooded p;
  p.Send("\xFC" + std::string(2'200'000, '\x41') + "\xF5");
  p.Pump();
  EXPECT_TRUE(p.socket.incoming.empty());
  EXPECT_TRUE(p.vars.ReceiveBuffer.empty());
  EXPECT_EQ(p.socket.wire, "\xF4");
  EXPECT_EQ(p.window.inputComboLoads + p.window.consoleComboLoads, 0);
}

}  // namespace
