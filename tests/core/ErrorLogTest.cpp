#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "setup/ErrorLog.h"
#include "setup/Failure.h"
#include "support/Bytes.h"
#include "support/Fakes.h"
#include "support/FaultyFiles.h"
#include "support/TempFolder.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(bytes.substr(start, end - start));
  }
  EXPECT_EQ(start, bytes.size()) << "text after the last CR LF";
  return lines;
}

// Capital letters one blank apart, words 4 and then 5 blanks apart, after 13 blanks.
bool IsMakerBanner(const std::string& line) {
  if (line.size() < 14 || line.find_first_not_of(' ') != 13 || line.back() == ' ') return false;
  std::vector<std::size_t> wordGaps;
  std::size_t gap = 0;
  for (std::size_t i = 13; i < line.size(); ++i) {
    if (line[i] == ' ') {
      ++gap;
      continue;
    }
    if (line[i] < 'A' || line[i] > 'Z') return false;
    if (gap > 1) wordGaps.push_back(gap);
    gap = 0;
  }
  return wordGaps == std::vector<std::size_t>{4, 5};
}

bool IsIndentedText(const std::string& line) {
  return line.size() > 19 && line.find_first_not_of(' ') == 19 && line.back() != ' ';
}

// "<message>: Error # <some code> - <description>"
bool IsReport(const std::string& text, const std::string& message, const std::string& description) {
  const std::string head = message + ": Error # ";
  const std::string tail = " - " + description;
  if (text.size() <= head.size() + tail.size()) return false;
  if (text.compare(0, head.size(), head) != 0) return false;
  if (text.compare(text.size() - tail.size(), tail.size(), tail) != 0) return false;
  const std::string code = text.substr(head.size(), text.size() - head.size() - tail.size());
  return code.find_first_not_of("-0123456789") == std::string::npos;
}

class ErrorLogTest : public ::testing::Test {
 protected:
  ErrorLogTest() { vars.AppFolder = folder.WithSeparator(); }

  void Report(std::int32_t code, const std::string& description, const std::string& message,
              const std::string& location) {
    try {
      throw Failure(code, description);
    } catch (...) {
      log.ReportError(message, location);
    }
  }

  std::size_t FilesInFolder() const {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()));
  }

  TempFolder folder;
  Variables vars;
  FakeClock clock;
  ErrorLog log{vars, clock};
};

}  // namespace

TEST_F(ErrorLogTest, FirstReportCreatesTheHeaderAndBecomesLineTwelve) {
  Report(5, "Invalid procedure call or argument", "Error Loading Form", "Program Error");

  const std::vector<std::string> lines = Lines(folder.Read("Errorlog.txt"));
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_TRUE(IsMakerBanner(lines[0])) << lines[0];
  EXPECT_EQ(lines[1], "");
  for (int i = 2; i <= 4; ++i) EXPECT_TRUE(IsIndentedText(lines[i])) << lines[i];
  EXPECT_NE(lines[4].find(" - "), std::string::npos);
  EXPECT_EQ(lines[5], "");
  EXPECT_EQ(lines[6], "");
  EXPECT_EQ(lines[7], "QEV Zozudo Soft Panel Error Logfile");
  EXPECT_EQ(lines[8], "");
  EXPECT_EQ(lines[9],
            " DATE     TIME           LOCATION                           MESSAGE DESCRIPTION");
  EXPECT_EQ(lines[10], std::string(80, '-'));
  EXPECT_EQ(lines[11], "3/17/2020 2:05:09 PM    Program Error" + std::string(23, ' ') +
                           "Error Loading Form: Error # 5 - Invalid procedure call or argument");
}

TEST_F(ErrorLogTest, LaterReportsAreAppendedWithoutANewHeader) {
  Report(5, "first", "Error Loading Form", "Program Error");
  Report(9, "second", "Error Trimming Buffer", "Switcher Buffer Error");

  const std::vector<std::string> lines = Lines(folder.Read("Errorlog.txt"));
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[12].substr(24), "Switcher Buffer Error" + std::string(15, ' ') +
                                      "Error Trimming Buffer: Error # 9 - second");
}

TEST_F(ErrorLogTest, MessageStartsInColumn60UnlessTheLocationIsLonger) {
  const std::string location36(36, 'L');
  const std::string location40(40, 'M');
  Report(6, "Overflow", "Error Processing Command", location36);
  Report(6, "Overflow", "Error Processing Command", location40);

  const std::vector<std::string> lines = Lines(folder.Read("Errorlog.txt"));
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[11].substr(24, 36), location36);
  EXPECT_EQ(lines[11].substr(60), "Error Processing Command: Error # 6 - Overflow");
  // No blank is put between a long location and the message.
  EXPECT_EQ(lines[12].substr(24), location40 + "Error Processing Command: Error # 6 - Overflow");
}

TEST_F(ErrorLogTest, ALongDateTimeIsNotCutAndAShortOneIsPadded) {
  clock.text = "Tuesday, March 17, 2020 14:05:09";  // 32 characters
  Report(5, "x", "Error Loading Form", "Program Error");
  clock.text = "3/17/2020";                      // a midnight stamp: the date alone
  clock.now.second += ErrorLog::kRepeatSeconds;  // not a repeat
  Report(5, "x", "Error Loading Form", "Program Error");

  const std::vector<std::string> lines = Lines(folder.Read("Errorlog.txt"));
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[11], "Tuesday, March 17, 2020 14:05:09Program Error" + std::string(15, ' ') +
                           "Error Loading Form: Error # 5 - x");
  EXPECT_EQ(lines[12], "3/17/2020" + std::string(15, ' ') + "Program Error" + std::string(23, ' ') +
                           "Error Loading Form: Error # 5 - x");
}

TEST_F(ErrorLogTest, AnEmptyDescriptionStillEndsWithTheSeparator) {
  Report(75, "", "Error Writing ini File", "File Error");
  const std::vector<std::string> lines = Lines(folder.Read("Errorlog.txt"));
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[11].substr(60), "Error Writing ini File: Error # 75 - ");
}

TEST_F(ErrorLogTest, FailuresOtherThanThePanelsOwnStillGetACodeAndADescription) {
  try {
    throw std::runtime_error("vector too long");
  } catch (...) {
    log.ReportError("Error Processing Alpha Table", "Message Error");
  }
  try {
    throw 42;
  } catch (...) {
    log.ReportError("Error Processing Alpha Table", "Message Error");
  }
  const std::vector<std::string> lines = Lines(folder.Read("Errorlog.txt"));
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_TRUE(IsReport(lines[11].substr(60), "Error Processing Alpha Table", "vector too long"))
      << lines[11];
  EXPECT_TRUE(IsReport(lines[12].substr(60), "Error Processing Alpha Table", "Unknown error"))
      << lines[12];
}

TEST_F(ErrorLogTest, ALogJustBelowTheLimitIsAppendedTo) {
  const std::string old(1023999, 'x');
  folder.Write("Errorlog.txt", old);
  Report(5, "x", "Error Loading Form", "Program Error");

  const std::string now = folder.Read("Errorlog.txt");
  EXPECT_EQ(now.substr(0, old.size()), old);
  EXPECT_EQ(now.substr(old.size()), "3/17/2020 2:05:09 PM    Program Error" + std::string(23, ' ') +
                                        "Error Loading Form: Error # 5 - x\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1);
}

TEST_F(ErrorLogTest, ALogAtTheLimitIsArchivedAndStartedAfresh) {
  std::string old(1024000, 'x');
  old.replace(0, 5, "first");
  folder.Write("Errorlog.txt", old);
  Report(5, "x", "Error Loading Form", "Program Error");

  EXPECT_EQ(folder.Read("Errorlog 031720 1405.txt"), old);
  const std::vector<std::string> lines = Lines(folder.Read("Errorlog.txt"));
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[7], "QEV Zozudo Soft Panel Error Logfile");
  EXPECT_EQ(lines[11].substr(60), "Error Loading Form: Error # 5 - x");
}

TEST_F(ErrorLogTest, ATakenArchiveNameKeepsTheLineInTheLogUntilALaterMinute) {
  const std::string archived = "archived earlier this minute";
  folder.Write("Errorlog 031720 1405.txt", archived);
  const std::string full(1024000, 'y');
  folder.Write("Errorlog.txt", full);

  Report(5, "kept", "Error Loading Form", "Program Error");

  // The first archive is untouched and the report is appended, not lost.
  EXPECT_EQ(folder.Read("Errorlog 031720 1405.txt"), archived);
  const std::string grown = folder.Read("Errorlog.txt");
  ASSERT_GT(grown.size(), full.size());
  EXPECT_EQ(grown.substr(0, full.size()), full);
  EXPECT_EQ(Lines(grown.substr(full.size()))[0].substr(60), "Error Loading Form: Error # 5 - kept");

  // The first report of the next minute archives all of it and starts a fresh log.
  clock.now.minute = 6;
  Report(5, "x", "Error Loading Form", "Program Error");
  EXPECT_EQ(folder.Read("Errorlog 031720 1406.txt"), grown);
  const std::vector<std::string> lines = Lines(folder.Read("Errorlog.txt"));
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[7], "QEV Zozudo Soft Panel Error Logfile");
}

// Another program holds the full log (a viewer or a virus scanner on Windows, chattr +i on
// Linux): it cannot be moved aside. It goes on growing within the minute's budget, the move is
// tried once a minute and never leaves a copy, and no report is lost. Let go, the whole log
// goes into one archive.
TEST_F(ErrorLogTest, AHeldFullLogGrowsWithinTheBudgetAndIsArchivedOnceWhenLetGo) {
  FaultyFiles files;
  files.held.insert("Errorlog.txt");
  const std::string full(1024000, 'x');
  folder.Write("Errorlog.txt", full);

  // Ten minutes of a flood, two reports taking turns.
  const int minutes = 10;
  for (int minute = 5; minute < 5 + minutes; ++minute) {
    clock.now.minute = minute;
    for (int i = 0; i < 20000; ++i) {
      Report(6, "Overflow", i % 2 ? "Error Processing Command" : "Error Trimming Buffer",
             "Decode Error");
    }
  }
  const std::string held = folder.Read("Errorlog.txt");
  const std::size_t grown = held.size() - full.size();
  std::cout << "held log, " << minutes
            << " minutes of 20,000 reports a minute: " << FilesInFolder() - 1
            << " archives, the log grew by " << grown << " bytes (" << grown / minutes
            << " a minute)\n";
  EXPECT_EQ(FilesInFolder(), 1u);
  EXPECT_EQ(files.refused, minutes);
  EXPECT_EQ(held.substr(0, full.size()), full);
  EXPECT_LE(grown, minutes * 64u * 1024);
  EXPECT_EQ(Count(held, "Errorlog.txt could not be moved aside"), 1u);
  EXPECT_EQ(Count(held, "more reports in minute"), 2u * (minutes - 1));

  files.held.clear();
  clock.now.minute = 15;
  Report(5, "x", "Error Loading Form", "Program Error");
  EXPECT_EQ(folder.Read("Errorlog 031720 1415.txt"), held);
  EXPECT_EQ(FilesInFolder(), 2u);
  const std::vector<std::string> lines = Lines(folder.Read("Errorlog.txt"));
  ASSERT_EQ(lines.size(), 14u);  // the header, last minute's two summaries, the report
  EXPECT_EQ(lines[13].substr(60), "Error Loading Form: Error # 5 - x");
}

#if defined(_WIN32)
// A log viewer reads the log, letting others write it but not move it.
TEST_F(ErrorLogTest, ALogAViewerHoldsOpenIsAppendedToAndNeverCopied) {
  const std::string full(1024000, 'x');
  folder.Write("Errorlog.txt", full);
  const HANDLE viewer =
      CreateFileW(folder.File("Errorlog.txt").c_str(), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
  for (int minute = 5; minute < 8; ++minute) {
    clock.now.minute = minute;
    Report(5, "x", "Error Loading Form", "Program Error");
  }
  CloseHandle(viewer);

  EXPECT_EQ(FilesInFolder(), 1u);
  const std::string grown = folder.Read("Errorlog.txt");
  EXPECT_EQ(grown.substr(0, full.size()), full);
  EXPECT_EQ(Count(grown, "Error Loading Form: Error # 5 - x"), 3u);
}
#endif

TEST_F(ErrorLogTest, AnUnwritableLogReportsItsOwnFailureOnceAndCarriesOn) {
  fs::create_directory(folder.File("Errorlog.txt"));  // a folder where the log file must go

  Report(5, "x", "Error Loading Form", "Program Error");

  // The original report and one report of its failure; the failed report is not repeated.
  EXPECT_EQ(clock.reads, 2);
  EXPECT_TRUE(fs::is_directory(folder.File("Errorlog.txt")));

  clock.reads = 0;
  Report(5, "x", "Error Loading Form", "Program Error");
  EXPECT_EQ(clock.reads, 2);
}

TEST_F(ErrorLogTest, AMissingFolderLosesTheLineWithoutLooping) {
  vars.AppFolder = folder.WithSeparator() + "gone/";
  Report(5, "x", "Error Loading Form", "Program Error");
  EXPECT_EQ(clock.reads, 2);
  EXPECT_FALSE(fs::exists(folder.File("gone")));
}

namespace {

// A line as the log writes it at the fake clock's time: location at 24, text at 60.
std::string LogLine(const std::string& location, const std::string& text) {
  return "3/17/2020 2:05:09 PM    " + location + std::string(36 - location.size(), ' ') + text;
}

}  // namespace

TEST_F(ErrorLogTest, RepeatsAreCountedAndTheCountFollowsAsOneLine) {
  for (int i = 0; i < 5; ++i) Report(13, "mismatch", "Error Processing Command", "Decode Error");
  Report(5, "x", "Error Loading Form", "Program Error");  // another report: the count first
  for (int i = 0; i < 3; ++i) Report(5, "x", "Error Loading Form", "Program Error");
  log.Tick();  // the window is still open: nothing yet
  clock.now.second += ErrorLog::kRepeatSeconds;
  log.Tick();
  Report(5, "x", "Error Loading Form", "Program Error");  // after the count: written whole

  const std::vector<std::string> lines = Lines(folder.Read("Errorlog.txt"));
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[11], LogLine("Decode Error", "Error Processing Command: Error # 13 - mismatch"));
  EXPECT_EQ(lines[12], LogLine("Decode Error", "Last report repeated 4 times"));
  EXPECT_EQ(lines[13], LogLine("Program Error", "Error Loading Form: Error # 5 - x"));
  EXPECT_EQ(lines[14], LogLine("Program Error", "Last report repeated 3 times"));
  EXPECT_EQ(lines[15], lines[13]);
}

TEST_F(ErrorLogTest, WhatIsHeldBackIsWrittenAtShutdown) {
  {
    ErrorLog closing{vars, clock};
    try {
      throw Failure(6, "Overflow");
    } catch (...) {
      for (int i = 0; i < 3; ++i) closing.ReportError("Error Processing Command", "Decode Error");
    }
  }
  const std::vector<std::string> lines = Lines(folder.Read("Errorlog.txt"));
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[12], LogLine("Decode Error", "Last report repeated 2 times"));
}

TEST_F(ErrorLogTest, AlternatingReportsStayWithinTheBudgetAndAreAllAccountedFor) {
  // Three minutes of two reports taking turns, then a quiet minute.
  const int perMinute = 20000;
  for (int minute = 5; minute < 8; ++minute) {
    clock.now.minute = minute;
    for (int i = 0; i < perMinute; ++i) {
      if (i % 2 == 0) {
        Report(6, "Overflow", "Error Receiving Channel On Off", "Switcher Message Error");
      } else {
        Report(9, "Subscript out of range", "Error Processing Alpha Table", "Message Error");
      }
    }
  }
  clock.now.minute = 8;
  log.Tick();

  const std::string text = folder.Read("Errorlog.txt");
  EXPECT_LE(text.size(), 3u * 64 * 1024);
  long long accounted = 0;
  int summaries = 0;
  for (const std::string& line : Lines(text)) {
    if (Contains(line, ": Error # ")) ++accounted;
    const std::size_t more = line.find(" more reports in minute 14:0");
    if (more != std::string::npos) {
      ++summaries;
      accounted += std::stoll(line.substr(line.rfind(' ', more - 1) + 1));
      EXPECT_TRUE(Contains(line, ", over the log's limit")) << line;
    }
  }
  EXPECT_EQ(summaries, 6);  // each report, each minute
  EXPECT_EQ(accounted, 3LL * perMinute);
}

#if defined(_WIN32)
// The user's short date and long time as Windows renders them, whatever the C library would.
TEST(SystemClock, RendersTheUsersShortDateAndLongTimeAsWindowsDoes) {
  const LocalDateTime afternoon{2020, 3, 17, 14, 5, 9};
  const LocalDateTime midnight{2020, 3, 17, 0, 0, 0};
  EXPECT_EQ(WindowsDateTime(afternoon, L"en-US"), "3/17/2020 2:05:09 PM");
  EXPECT_EQ(WindowsDateTime(midnight, L"en-US"), "3/17/2020");
  // Windows writes the German short date with leading zeros, Wine's locale data without.
  EXPECT_THAT(WindowsDateTime(afternoon, L"de-DE"),
              ::testing::AnyOf("17.03.2020 14:05:09", "17.3.2020 14:05:09"));
  EXPECT_THAT(WindowsDateTime(midnight, L"de-DE"), ::testing::AnyOf("17.03.2020", "17.3.2020"));

  // The clock follows the forms the user has chosen.
  wchar_t shortDate[80];
  wchar_t longTime[80];
  ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, shortDate, 80), 0);
  ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, longTime, 80), 0);
  SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, L"yyyy-MM-dd");
  SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, L"HH.mm.ss");
  const SystemClock clock;
  const std::string chosen = clock.GeneralDateTime(afternoon);
  const std::string chosenMidnight = clock.GeneralDateTime(midnight);
  SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, shortDate);
  SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, longTime);
  EXPECT_EQ(chosen, "2020-03-17 14.05.09");
  EXPECT_EQ(chosenMidnight, "2020-03-17");
}
#else
TEST(SystemClock, RendersShortDateAndLongTimeAndTheDateAloneAtMidnight) {
  const std::string previous = std::setlocale(LC_TIME, nullptr);
  std::setlocale(LC_TIME, "C");
  const SystemClock clock;
  EXPECT_EQ(clock.GeneralDateTime({2020, 3, 17, 14, 5, 9}), "03/17/20 14:05:09");
  EXPECT_EQ(clock.GeneralDateTime({2020, 3, 17, 0, 0, 0}), "03/17/20");
  EXPECT_EQ(clock.GeneralDateTime({2020, 3, 17, 0, 0, 1}), "03/17/20 00:00:01");
  std::setlocale(LC_TIME, previous.c_str());
}
#endif

TEST(SystemClock, ReadsTheLocalClock) {
  const LocalDateTime now = SystemClock().Now();
  EXPECT_GE(now.year, 2020);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
}
