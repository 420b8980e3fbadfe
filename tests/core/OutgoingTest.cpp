#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Bytes.h"
#include "support/Rig.h"

namespace {

struct Sender : Rig {
  Sender() { Connected(); }
};

constexpr FakeSocket::WriteAnswer kNoRoom{0, SocketComponent::kWouldBlock, 0};

// The name-table request and On, cue on and Off for "Undefined", written out byte by byte.
TEST(OutgoingMessages, InfoRequestAndChannelCommandsGoOutByteExact) {
  Sender s;
  s.comm.SendInfoRequest(256, 1);
  s.comm.SendChannelOnOff(1, 1, 127, 1);
  s.comm.SendChannelOnOff(200, 3, 127, 300);
  s.comm.SendChannelOnOff(16383, 0, 127, 16383);

  EXPECT_EQ(
      s.socket.writes,
      (std::vector<std::string>{
          Bytes({0xF2, 0x00, 0x02, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0xFF}),
          Bytes({0xD6, 0x7F, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0xFF}),
          Bytes({0xD6, 0x7F, 0x00, 0x01, 0x47, 0x01, 0x2B, 0x02, 0x03, 0x78, 0xFF}),
          Bytes({0xD6, 0x7F, 0x00, 0x01, 0x7F, 0x7F, 0x7F, 0x7F, 0x00, 0x7C, 0xFF}),
      }));
  EXPECT_EQ(s.vars.InfoRequestFlags, 256);
  EXPECT_EQ(s.vars.InfoRequestFlags2, 1);
  EXPECT_TRUE(s.log.reports.empty());
}

TEST(OutgoingMessages, EmptyInfoRequestLeavesNothingPending) {
  Sender s;
  s.vars.InfoRequestFlags = 256;
  s.vars.InfoRequestFlags2 = 1;
  s.comm.SendInfoRequest(0, 0);
  EXPECT_EQ(s.socket.wire, Bytes({0xF2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0xFF}));
  EXPECT_EQ(s.vars.InfoRequestFlags, 0);
  EXPECT_EQ(s.vars.InfoRequestFlags2, 0);
}

TEST(OutgoingMessages, Source129GoesOutAsWireNumber128) {
  Sender s;
  s.comm.SendChannelOnOff(129, 1, 127, 1);
  ASSERT_EQ(s.socket.wire.size(), 11u);
  EXPECT_EQ(s.socket.wire.substr(4, 2), Bytes({0x00, 0x01}));
}

TEST(OutgoingMessages, NothingChosenSendsNothingAndIsReportedOnce) {
  for (std::int16_t console : {0, -32768}) {
    Sender s;
    s.comm.SendChannelOnOff(1, 1, 127, console);
    EXPECT_TRUE(s.socket.writes.empty());
    EXPECT_EQ(s.log.Texts(), (Texts{"Switcher Command Error: Error Sending Channel On Off"}))
        << console;
  }
}

TEST(SendToSwitcher, WithoutConnectionClosesAndWritesNothingButKeepsTheRequestPending) {
  Sender s;
  s.socket.connected = false;
  s.vars.SwitcherConnected = kTrue;

  s.comm.SendInfoRequest(256, 1);

  EXPECT_TRUE(s.socket.writes.empty());
  EXPECT_EQ(s.socket.calls, (std::vector<std::string>{"close", "disconnect"}));
  EXPECT_EQ(s.vars.SocketConnected, kFalse);
  EXPECT_EQ(s.vars.SwitcherConnected, kFalse);
  EXPECT_EQ(s.vars.InfoRequestFlags, 256);
  EXPECT_EQ(s.vars.InfoRequestFlags2, 1);
  EXPECT_TRUE(s.log.reports.empty());
}

TEST(SendToSwitcher, WouldBlockWritesTheWholeMessageAgain) {
  Sender s;
  s.socket.writeAnswers.push_back(kNoRoom);
  const std::string poll("\xF5");
  s.comm.SendToSwitcher(poll);
  EXPECT_EQ(s.socket.writes, (std::vector<std::string>{poll, poll}));
  EXPECT_EQ(s.socket.wire, poll);
}

TEST(SendToSwitcher, WouldBlockIsRepeatedABoundedNumberOfTimesThenDropped) {
  Sender s;
  for (int i = 0; i < kWriteRetryLimit + 1; ++i) s.socket.writeAnswers.push_back(kNoRoom);

  s.comm.SendToSwitcher("\xF5");
  EXPECT_EQ(s.socket.writes.size(), 1u + kWriteRetryLimit);
  EXPECT_TRUE(s.socket.wire.empty());
  EXPECT_TRUE(s.log.reports.empty());

  // The next message is not held up by the dropped one.
  s.comm.SendToSwitcher("\xF4");
  EXPECT_EQ(s.socket.wire, "\xF4");
}

TEST(SendToSwitcher, OtherWriteErrorDropsTheMessageAndLeavesTheLinkAlone) {
  Sender s;
  s.socket.writeAnswers.push_back({0, 10054, 0});
  s.comm.SendToSwitcher("\xF5");
  EXPECT_EQ(s.socket.calls, (std::vector<std::string>{"write"}));
  EXPECT_EQ(s.vars.SocketConnected, kTrue);
  EXPECT_TRUE(s.log.reports.empty());
}

TEST(OutgoingMessages, NumbersBeyondFourteenBitsAreNotSent) {
  // A stored selection no list holds (kept from a damaged configuration file) has no wire form.
  for (std::int16_t number : {16385, 32767}) {
    Sender s;
    s.comm.SendChannelOnOff(number, 1, 127, 1);
    s.comm.SendChannelOnOff(1, 1, 127, number);
    EXPECT_TRUE(s.socket.writes.empty()) << number;
    EXPECT_EQ(s.log.reports.size(), 2u);
    EXPECT_TRUE(s.log.Has("Error Sending Channel On Off", "Switcher Command Error"));
  }
}

}  // namespace
