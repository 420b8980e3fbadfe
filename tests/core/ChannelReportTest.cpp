#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/Messages.h"
#include "setup/Failure.h"
#include "support/Rig.h"

namespace {

constexpr std::uint32_t kYellow = 0xC0FFFF;
constexpr std::uint32_t kCyan = 0xFFFFC0;
constexpr std::uint32_t kUntouched = 0x123456;  // a colour no report ever sets

// The operator has chosen source 3 and console 5: on the wire source 2 and console 4.
class ChannelReport : public ::testing::Test, protected Rig {
 protected:
  ChannelReport() {
    Connected();
    vars.SelectedSource = 3;
    vars.SelectedConsole = 5;
    window.onColour = window.offColour = window.cueColour = kUntouched;
  }

  // The three faces at once, and the cue toggle: what the operator sees and what CUE does.
  void ExpectFaces(std::uint32_t on, std::uint32_t off, std::uint32_t cue, Flag16 cueActive) {
    EXPECT_EQ(window.onColour, on);
    EXPECT_EQ(window.offColour, off);
    EXPECT_EQ(window.cueColour, cue);
    EXPECT_EQ(vars.CueActive, cueActive);
  }

  void ExpectNothingChanged() {
    EXPECT_EQ(window.onColour, kUntouched);
    EXPECT_EQ(window.offColour, kUntouched);
    EXPECT_EQ(window.cueColour, kUntouched);
    EXPECT_EQ(vars.CueActive, kFalse);
  }
};

TEST_F(ChannelReport, ChannelOnHighlightsOnInCyanAndRestsOff) {
  comm.ProcessChannelOnOff(std::string("\xD6\x7F\x00\x01\x02\x00\x04\x00\x01\x07\xFF", 11));

  EXPECT_EQ(window.onColour, kCyan);
  EXPECT_EQ(window.offColour, kButtonResting);
  EXPECT_EQ(window.cueColour, kUntouched);
  EXPECT_TRUE(log.reports.empty());
}

TEST_F(ChannelReport, ChannelOffHighlightsOffInYellowAndRestsOn) {
  comm.ProcessChannelOnOff(std::string("\xD6\x7F\x00\x01\x02\x00\x04\x00\x00\x06\xFF", 11));

  EXPECT_EQ(window.offColour, kYellow);
  EXPECT_EQ(window.onColour, kButtonResting);
  EXPECT_EQ(window.cueColour, kUntouched);
}

TEST_F(ChannelReport, AnyConsoleAppliesWhateverConsoleIsChosen) {
  comm.ProcessChannelOnOff(msg::ChannelReport({{2, 16383, 1}}));
  EXPECT_EQ(window.onColour, kCyan);

  comm.ProcessChannelOnOff(msg::ChannelReport({{2, 999, 0}}));
  EXPECT_EQ(window.offColour, kYellow);
  EXPECT_EQ(window.onColour, kButtonResting);
}

TEST_F(ChannelReport, EntriesForOtherChannelsOrUnknownStatesChangeNothing) {
  comm.ProcessChannelOnOff(
      msg::ChannelReport({{3, 4, 1}, {2, 5, 1}, {2, 3, 3}, {1, 16383, 3}, {2, 4, 4}}));

  ExpectNothingChanged();
  EXPECT_TRUE(log.reports.empty());
}

TEST_F(ChannelReport, CueStateFollowsTheReportAndTheLastEntryOfEachKindWins) {
  comm.ProcessChannelOnOff(msg::ChannelReport({{2, 4, 3}}));
  EXPECT_EQ(window.cueColour, kYellow);
  EXPECT_EQ(vars.CueActive, kTrue);

  comm.ProcessChannelOnOff(msg::ChannelReport({{2, 4, 1}, {2, 4, 3}, {2, 4, 0}, {2, 4, 2}}));
  EXPECT_EQ(window.cueColour, kButtonResting);
  EXPECT_EQ(vars.CueActive, kFalse);
  EXPECT_EQ(window.offColour, kYellow);
  EXPECT_EQ(window.onColour, kButtonResting);
}

TEST_F(ChannelReport, EmptyReportChangesNothing) {
  comm.ProcessChannelOnOff(msg::ChannelReport({}));

  ExpectNothingChanged();
  EXPECT_TRUE(log.reports.empty());
}

TEST_F(ChannelReport, MissingEntryIsReportedAfterTheEntriesBeforeItApplied) {
  // Two entries promised, only the first present.
  std::string promisesTwo = msg::ChannelReport({{2, 4, 3}, {2, 4, 3}});
  promisesTwo.resize(promisesTwo.size() - 7);  // the second entry, the checksum and FF
  comm.ProcessChannelOnOff(msg::Framed(promisesTwo));

  EXPECT_EQ(window.cueColour, kYellow);
  EXPECT_EQ(vars.CueActive, kTrue);
  ASSERT_EQ(log.Texts(), (Texts{"Switcher Message Error: Error Receiving Channel On Off"}));
  EXPECT_EQ(log.reports[0].code, kOutOfRange);
}

TEST_F(ChannelReport, ReportWithoutAnEntryCountIsReportedNotReadPastItsEnd) {
  comm.ProcessChannelOnOff(std::string("\xD6\x00\xFF", 3));

  ExpectNothingChanged();
  EXPECT_EQ(log.Texts(), (Texts{"Switcher Message Error: Error Receiving Channel On Off"}));
}

TEST_F(ChannelReport, WrongChecksumChangesNothingAndReportsNothing) {
  comm.ProcessChannelOnOff(std::string("\xD6\x7F\x00\x01\x02\x00\x04\x00\x01\x06\xFF", 11));
  // Even a report that promises more entries than it holds is dropped unread.
  comm.ProcessChannelOnOff(std::string("\xD6\x7F\x00\x05\x02\x00\x04\x00\x01\x07\xFF", 11));

  ExpectNothingChanged();
  EXPECT_TRUE(log.reports.empty());
}

// Source 3 (wire 2) on and in cue on console 5; source 5 (wire 4) on, on every console.
TEST_F(ChannelReport, AChangeOfChannelShowsWhatTheSwitcherSaidOfTheNewOneOrNothing) {
  comm.ProcessChannelOnOff(msg::ChannelReport({{2, 4, 1}, {2, 4, 3}, {4, 16383, 1}}));
  ExpectFaces(kCyan, kButtonResting, kYellow, kTrue);

  comm.ChooseChannel(4, 5);  // never reported
  ExpectFaces(kButtonResting, kButtonResting, kButtonResting, kFalse);
  comm.ChooseChannel(5, 5);
  ExpectFaces(kCyan, kButtonResting, kButtonResting, kFalse);
  comm.ChooseChannel(5, 12);  // the every-console word holds here too
  ExpectFaces(kCyan, kButtonResting, kButtonResting, kFalse);
  comm.ChooseChannel(3, 5);
  ExpectFaces(kCyan, kButtonResting, kYellow, kTrue);

  // The same channel chosen again leaves the toggle as a press left it.
  vars.CueActive = kFalse;
  comm.ChooseChannel(3, 5);
  EXPECT_EQ(vars.CueActive, kFalse);
}

TEST_F(ChannelReport, AClosedLinkTakesItsWordsAndTheFacesWithIt) {
  comm.ProcessChannelOnOff(msg::ChannelReport({{2, 4, 1}, {2, 4, 3}, {4, 4, 0}}));

  comm.DisconnectFromServer();
  ExpectFaces(kButtonResting, kButtonResting, kButtonResting, kFalse);
  // Bytes of the old link decoded after its close report nothing.
  comm.ProcessChannelOnOff(msg::ChannelReport({{2, 4, 0}}));
  ExpectFaces(kButtonResting, kButtonResting, kButtonResting, kFalse);

  ComeUp();
  comm.ChooseChannel(5, 5);
  comm.ChooseChannel(3, 5);
  ExpectFaces(kButtonResting, kButtonResting, kButtonResting, kFalse);
  comm.ProcessChannelOnOff(msg::ChannelReport({{2, 4, 0}}));
  ExpectFaces(kButtonResting, kYellow, kButtonResting, kFalse);
}

}  // namespace
