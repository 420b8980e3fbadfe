#include <gtest/gtest.h>

#include <string>

#include "app/ChannelButtons.h"
#include "protocol/Messages.h"
#include "support/Rig.h"

namespace {

constexpr std::size_t kActionPosition = 8;

class ChannelButtons : public ::testing::Test, protected Rig {
 protected:
  ChannelButtons() { Connected(); }
};

TEST_F(ChannelButtons, OnSendsTheChannelCommandForTheChosenChannel) {
  vars.SelectedSource = 1;
  vars.SelectedConsole = 1;

  cmdOn_Click(vars, comm);

  ASSERT_EQ(socket.writes.size(), 1u);
  EXPECT_EQ(socket.wire, std::string("\xD6\x7F\x00\x01\x00\x00\x00\x00\x01\x01\xFF", 11));
  EXPECT_TRUE(log.reports.empty());
}

TEST_F(ChannelButtons, OffWithUndefinedInBothListsSends16383Unchanged) {
  vars.SelectedSource = UndefinedSelection;
  vars.SelectedConsole = UndefinedSelection;

  cmdOff_Click(vars, comm);

  EXPECT_EQ(socket.wire, std::string("\xD6\x7F\x00\x01\x7F\x7F\x7F\x7F\x00\x7C\xFF", 11));
}

TEST_F(ChannelButtons, TwoCuePressesAskForCueOnThenCueOff) {
  vars.SelectedSource = 200;
  vars.SelectedConsole = 300;

  cmdCue_Click(vars, comm);
  EXPECT_EQ(vars.CueActive, kTrue);
  cmdCue_Click(vars, comm);
  EXPECT_EQ(vars.CueActive, kFalse);

  ASSERT_EQ(socket.writes.size(), 2u);
  EXPECT_EQ(socket.writes[0], std::string("\xD6\x7F\x00\x01\x47\x01\x2B\x02\x03\x78\xFF", 11));
  EXPECT_EQ(socket.writes[1].substr(0, kActionPosition + 1),
            std::string("\xD6\x7F\x00\x01\x47\x01\x2B\x02\x02", 9));
}

TEST_F(ChannelButtons, CueAfterTheSwitcherReportedCueOnAsksForCueOff) {
  vars.SelectedSource = 1;
  vars.SelectedConsole = 1;
  // Source 0, console 0 on the wire, state 3 (cue on).
  comm.ProcessChannelOnOff(std::string("\xD6\x7F\x00\x01\x00\x00\x00\x00\x03\x03\xFF", 11));
  ASSERT_EQ(vars.CueActive, kTrue);

  cmdCue_Click(vars, comm);

  ASSERT_EQ(socket.writes.size(), 1u);
  EXPECT_EQ(socket.writes[0][kActionPosition], 2);
  EXPECT_EQ(vars.CueActive, kFalse);
}

TEST_F(ChannelButtons, CueActsOnTheChosenChannelsOwnCueState) {
  vars.SelectedSource = 3;
  vars.SelectedConsole = 5;
  comm.ProcessChannelOnOff(msg::ChannelReport({{2, 4, msg::kCueOn}}));

  comm.ChooseChannel(5, 5);  // never in cue: CUE asks for cue on
  cmdCue_Click(vars, comm);
  comm.ChooseChannel(3, 5);  // back on the channel in cue: CUE asks for cue off
  cmdCue_Click(vars, comm);

  ASSERT_EQ(socket.writes.size(), 2u);
  EXPECT_EQ(socket.writes[0].substr(4, 5), std::string("\x04\x00\x04\x00\x03", 5));
  EXPECT_EQ(socket.writes[1].substr(4, 5), std::string("\x02\x00\x04\x00\x02", 5));
}

TEST_F(ChannelButtons, ConsoleZeroIsRecordedAndNotSentButCueStillFlips) {
  vars.SelectedSource = 1;
  vars.SelectedConsole = 0;

  cmdOn_Click(vars, comm);
  cmdCue_Click(vars, comm);

  EXPECT_TRUE(socket.writes.empty());
  EXPECT_EQ(log.Texts(), (Texts{"Switcher Command Error: Error Sending Channel On Off",
                                "Switcher Command Error: Error Sending Channel On Off"}));
  EXPECT_EQ(vars.CueActive, kTrue);
}

TEST_F(ChannelButtons, PressesWithoutAConnectionSendNothingButCueStillFlips) {
  socket.connected = false;
  vars.SelectedSource = 1;
  vars.SelectedConsole = 1;

  cmdOff_Click(vars, comm);
  cmdCue_Click(vars, comm);

  EXPECT_TRUE(socket.writes.empty());
  EXPECT_EQ(vars.CueActive, kTrue);
  EXPECT_TRUE(log.reports.empty());
}

}  // namespace
