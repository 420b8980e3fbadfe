#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "setup/Failure.h"
#include "support/Rig.h"

namespace {

constexpr std::uint32_t kYellow = 0xC0FFFF;
constexpr std::uint32_t kCyan = 0xFFFFC0;
constexpr std::uint32_t kResting = 0xF4FFFE;
constexpr std::uint32_t kUntouched = 0x123456;  // a colour no report ever sets

struct Entry {
  int source;  // from 0, as on the wire
  int console;
  char state;
};

// A report of the given entries behind D6 7F 00 n, with its checksum and FF.
std::string Report(const std::vector<Entry>& entries, int n = -1) {
  std::string message{'\xD6', 0x7F, 0,
                      static_cast<char>(n < 0 ? static_cast<int>(entries.size()) : n)};
  for (const Entry& e : entries) {
    message += static_cast<char>(e.source & 0x7F);
    message += static_cast<char>(e.source >> 7);
    message += static_cast<char>(e.console & 0x7F);
    message += static_cast<char>(e.console >> 7);
    message += e.state;
  }
  unsigned sum = 0;
  for (std::size_t i = 1; i < message.size(); ++i) sum += static_cast<unsigned char>(message[i]);
  return message + static_cast<char>(sum & 0x7F) + '\xFF';
}

// The operator has chosen source 3 and console 5: on the wire source 2 and console 4.
class ChannelReport : public ::testing::Test, protected Rig {
 protected:
  ChannelReport() {
    vars.SelectedSource = 3;
    vars.SelectedConsole = 5;
    window.onColour = window.offColour = window.cueColour = kUntouched;
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
  EXPECT_EQ(window.offColour, kResting);
  EXPECT_EQ(window.cueColour, kUntouched);
  EXPECT_TRUE(log.reports.empty());
}

TEST_F(ChannelReport, ChannelOffHighlightsOffInYellowAndRestsOn) {
  comm.ProcessChannelOnOff(std::string("\xD6\x7F\x00\x01\x02\x00\x04\x00\x00\x06\xFF", 11));

  EXPECT_EQ(window.offColour, kYellow);
  EXPECT_EQ(window.onColour, kResting);
  EXPECT_EQ(window.cueColour, kUntouched);
}

TEST_F(ChannelReport, AnyConsoleAppliesWhateverConsoleIsChosen) {
  comm.ProcessChannelOnOff(Report({{2, 16383, 1}}));
  EXPECT_EQ(window.onColour, kCyan);

  comm.ProcessChannelOnOff(Report({{2, 999, 0}}));
  EXPECT_EQ(window.offColour, kYellow);
  EXPECT_EQ(window.onColour, kResting);
}

TEST_F(ChannelReport, EntriesForOtherChannelsOrUnknownStatesChangeNothing) {
  comm.ProcessChannelOnOff(Report({{3, 4, 1}, {2, 5, 1}, {2, 3, 3}, {1, 16383, 3}, {2, 4, 4}}));

  ExpectNothingChanged();
  EXPECT_TRUE(log.reports.empty());
}

TEST_F(ChannelReport, CueStateFollowsTheReportAndTheLastEntryOfEachKindWins) {
  comm.ProcessChannelOnOff(Report({{2, 4, 3}}));
  EXPECT_EQ(window.cueColour, kYellow);
  EXPECT_EQ(vars.CueActive, kTrue);

  comm.ProcessChannelOnOff(Report({{2, 4, 1}, {2, 4, 3}, {2, 4, 0}, {2, 4, 2}}));
  EXPECT_EQ(window.cueColour, kResting);
  EXPECT_EQ(vars.CueActive, kFalse);
  EXPECT_EQ(window.offColour, kYellow);
  EXPECT_EQ(window.onColour, kResting);
}

TEST_F(ChannelReport, EmptyReportChangesNothing) {
  comm.ProcessChannelOnOff(Report({}));

  ExpectNothingChanged();
  EXPECT_TRUE(log.reports.empty());
}

TEST_F(ChannelReport, MissingEntryIsReportedAfterTheEntriesBeforeItApplied) {
  comm.ProcessChannelOnOff(Report({{2, 4, 3}}, /*n=*/2));

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

}  // namespace
