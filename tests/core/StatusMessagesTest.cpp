#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Bytes.h"
#include "support/Rig.h"

namespace {

const std::string kTypeAnswer = Bytes({0x81, 0x09, 0x01, 0x0A, 0xFF});

struct Panel : Rig {
  Panel() {
    Connected();
    window.pollTimerEnabled = false;
  }
};

TEST(TypeRequest, BothFormsAreAnsweredAndStartThePollTimer) {
  for (const std::string& request :
       {Bytes({0x81, 0x64, 0x64, 0xFF}), Bytes({0x81, 0x64, 0x05, 0x69, 0xFF})}) {
    Panel p;
    p.comm.ProcessTypeRequest(request);
    EXPECT_EQ(p.socket.writes, std::vector<std::string>{kTypeAnswer});
    EXPECT_TRUE(p.window.pollTimerEnabled);
  }
}

TEST(TypeRequest, MalformedRequestsLeaveNoTrace) {
  for (const std::string& request : {
           Bytes({0x81, 0x64, 0x65, 0xFF}),              // wrong checksum
           Bytes({0x81, 0x63, 0x63, 0xFF}),              // wrong byte 1
           Bytes({0x81, 0x64, 0x01, 0x02, 0x67, 0xFF}),  // six bytes, checksum right
           Bytes({0x81, 0xFF}),
           std::string(),
       }) {
    Panel p;
    p.comm.ProcessTypeRequest(request);
    EXPECT_TRUE(p.socket.writes.empty());
    EXPECT_FALSE(p.window.pollTimerEnabled);
    EXPECT_TRUE(p.log.reports.empty());
  }
}

TEST(TypeRequest, PollTimerStartsEvenWhenTheAnswerCannotBeSent) {
  Panel p;
  p.socket.connected = false;
  p.comm.ProcessTypeRequest(Bytes({0x81, 0x64, 0x64, 0xFF}));
  EXPECT_TRUE(p.socket.writes.empty());
  EXPECT_TRUE(p.window.pollTimerEnabled);
}

TEST(SwitcherType, MalformedReportsChangeNothing) {
  for (const std::string& report : {
           Bytes({0xE5, 0x02, 0x00, 0x00, 0x05, 0x01, 0x00, 0x00, 0x08, 0xFF}),  // byte 1
           Bytes({0xE5, 0x01, 0x00, 0x00, 0x05, 0x01, 0x00, 0x00, 0x08, 0xFF}),  // checksum
           Bytes({0xE5, 0x01, 0x05, 0x01, 0x07, 0xFF}),                          // too short
           Bytes({0xE5, 0xFF}),
           std::string(),
       }) {
    Panel p;
    p.vars.SwitcherType = 7;
    p.comm.ProcessSwitcherType(report);
    EXPECT_EQ(p.vars.SwitcherType, 7);
    EXPECT_TRUE(p.log.reports.empty());
  }
}

TEST(ShowConnection, UpAsksForTheNameTablesThenShowsTheLink) {
  Panel p;
  p.comm.ShowConnection(kTrue);
  EXPECT_EQ(p.socket.writes,
            std::vector<std::string>{Bytes(
                {0xF2, 0x00, 0x02, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0xFF})});
  EXPECT_EQ(p.vars.SwitcherConnected, kTrue);
  EXPECT_EQ(p.vars.InfoRequestFlags, 256);
  EXPECT_EQ(p.vars.InfoRequestFlags2, 1);

  p.comm.ShowConnection(kTrue);  // no guard of its own: asks again
  EXPECT_EQ(p.socket.writes.size(), 2u);
}

TEST(ShowConnection, LinkIsShownUpEvenWhenTheRequestCannotBeSent) {
  Panel p;
  p.socket.connected = false;
  p.comm.ShowConnection(kTrue);
  EXPECT_TRUE(p.socket.writes.empty());
  EXPECT_EQ(p.vars.SwitcherConnected, kTrue);
  EXPECT_EQ(p.vars.InfoRequestFlags, 256);
}

TEST(ShowConnection, AnythingButExactlyTrueShowsTheLinkDownAndSendsNothing) {
  for (Flag16 flag : {kFalse, Flag16{1}}) {
    Panel p;
    p.vars.SwitcherConnected = kTrue;
    p.comm.ShowConnection(flag);
    EXPECT_EQ(p.vars.SwitcherConnected, kFalse);
    EXPECT_TRUE(p.socket.writes.empty());
  }
}

}  // namespace
