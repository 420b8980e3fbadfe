#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "setup/Failure.h"
#include "setup/Procedures.h"
#include "support/FailureCode.h"
#include "support/Fakes.h"
#include "support/IniText.h"
#include "support/TempFolder.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

class IniFileTest : public ::testing::Test {
 protected:
  IniFileTest() { ProgramSetup(vars, window, reporter, {folder.Text()}); }

  // Reads the given file content into freshly set-up settings.
  bool ReadContent(const std::string& content) {
    folder.Write(kIniFileName, content);
    return ReadIniFile(vars, window, window);
  }

  TempFolder folder;
  FakeWindow window;
  RecordingReporter reporter;
  Variables vars;
};

// The password "abc" is stored as "bdf".
const IniSettings kWritten{.address = "192.168.1.10",
                           .port = 1251,
                           .input = 12,
                           .console = 3,
                           .stayOnTop = "No",
                           .refreshRate = 2,
                           .timeOut = 45,
                           .userName = "op",
                           .password = "bdf"};
const std::string kWrittenFile = IniText(kWritten);

}  // namespace

TEST_F(IniFileTest, WritesTheThirteenLinesByteForByte) {
  Apply(kWritten, vars);
  vars.Password = "abc";

  EXPECT_TRUE(WriteIniFile(vars, reporter));
  EXPECT_EQ(folder.Read(kIniFileName), kWrittenFile);
  EXPECT_TRUE(reporter.reports.empty());
  EXPECT_FALSE(folder.Exists("qevntpnl.ini.tmp"));
}

TEST_F(IniFileTest, WritesStartUpValuesAndNegativeNumbersPlainly) {
  vars.SelectedConsole = -4;
  EXPECT_TRUE(WriteIniFile(vars, reporter));
  EXPECT_EQ(folder.Read(kIniFileName), IniText({.console = -4}));
}

TEST_F(IniFileTest, AWrittenFileReadsBackToTheSameSettings) {
  IniSettings settings = kWritten;
  settings.input = 300;
  settings.refreshRate = 1638;
  settings.timeOut = 3600;
  Apply(settings, vars);
  vars.Password = "pa$\xE9";  // an 8-bit character scrambles to 0xED
  ASSERT_TRUE(WriteIniFile(vars, reporter));

  Variables read;
  FakeWindow readWindow;
  ProgramSetup(read, readWindow, reporter, {folder.Text()});
  ASSERT_TRUE(ReadIniFile(read, readWindow, readWindow));
  EXPECT_EQ(SettingsOf(read), SettingsOf(vars));
  EXPECT_EQ(read.Password, "pa$\xE9");
  EXPECT_EQ(read.PollInterval, 32760);
  EXPECT_EQ(readWindow.pollTimerInterval, 32760);
  EXPECT_EQ(readWindow.windowOrders, std::vector<std::int32_t>{kNotTopmost});
}

TEST_F(IniFileTest, ReadsTheScrambledPasswordOfAKnownFile) {
  ASSERT_TRUE(ReadContent(kWrittenFile));
  EXPECT_EQ(vars.Password, "abc");
  EXPECT_EQ(vars.UserName, "op");
}

TEST_F(IniFileTest, AMissingFileChangesNothing) {
  EXPECT_FALSE(ReadIniFile(vars, window, window));
  EXPECT_EQ(vars.ServerAddress, "");
  EXPECT_EQ(vars.ServerPort, 1250);
  EXPECT_EQ(window.pollTimerInterval, 20);
  EXPECT_TRUE(window.windowOrders.empty());
}

TEST_F(IniFileTest, AnEmptyFileStillRetimesThePollAndAppliesTheWindowOrder) {
  window.pollTimerInterval = 999;
  EXPECT_TRUE(ReadContent(""));
  EXPECT_EQ(vars.ServerAddress, "");
  EXPECT_EQ(vars.SelectedSource, 1);
  EXPECT_EQ(vars.PollInterval, 20);
  EXPECT_EQ(window.pollTimerInterval, 20);
  EXPECT_EQ(window.windowOrders, std::vector<std::int32_t>{kTopmost});
}

TEST_F(IniFileTest, EntriesEndAtLineEndsOfEveryKindAndAtCommas) {
  ASSERT_TRUE(
      ReadContent("Input=7\nConsole=9\rTime Out=30\r\n   Refresh Rate=4,"
                  "User Name=ab,cd\r\n\"IP Address=10.0.0.1,x\" junk,IP Port=1300"));
  EXPECT_EQ(vars.SelectedSource, 7);
  EXPECT_EQ(vars.SelectedConsole, 9);
  EXPECT_EQ(vars.TimeOut, 30);
  EXPECT_EQ(vars.RefreshRate, 4);               // leading blanks skipped
  EXPECT_EQ(vars.UserName, "ab");               // "cd" is an entry of its own
  EXPECT_EQ(vars.ServerAddress, "10.0.0.1,x");  // quoted: the comma belongs to it
  EXPECT_EQ(vars.ServerPort, 1300);
  EXPECT_EQ(vars.PollInterval, 80);
}

TEST_F(IniFileTest, ValuesAreReadFromTheirFixedPositionAndLength) {
  ASSERT_TRUE(
      ReadContent("Refresh Rate = 5\r\nTime Out = 50\r\nUser Name=abcdefgh\r\n"
                  "IP Address=" +
                  std::string(30, '1') + "\r\nInput=3\r\nInput=9\r\n"));
  EXPECT_EQ(vars.RefreshRate, 1);  // the value starts at the "=": no number
  EXPECT_EQ(vars.TimeOut, 1);
  EXPECT_EQ(vars.UserName, "abcde");
  EXPECT_EQ(vars.ServerAddress, std::string(25, '1'));
  EXPECT_EQ(vars.SelectedSource, 9);  // the last occurrence wins
}

TEST_F(IniFileTest, EachKeyAppliesItsRule) {
  ASSERT_TRUE(
      ReadContent("IP Address=\r\nIP Port=0\r\nStay On Top=yes\r\nRefresh Rate=0\r\n"
                  "Time Out=5000\r\nInput=-3\r\nConsole=2.5\r\n"));
  EXPECT_EQ(vars.ServerAddress, "127.0.0.1");
  EXPECT_EQ(vars.ServerPort, 1250);
  EXPECT_EQ(vars.StayOnTopMode, kNotTopmost);
  EXPECT_EQ(vars.RefreshRate, 1);
  EXPECT_EQ(vars.TimeOut, 3600);
  EXPECT_EQ(vars.SelectedSource, 0);
  EXPECT_EQ(vars.SelectedConsole, 2);
  EXPECT_EQ(window.windowOrders, std::vector<std::int32_t>{kNotTopmost});

  ASSERT_TRUE(ReadContent("IP Port=-5\r\nStay On Top=Yes\r\n"));
  EXPECT_EQ(vars.ServerPort, 1250);
  EXPECT_EQ(vars.StayOnTopMode, kTopmost);

  ASSERT_TRUE(ReadContent("IP Port=99999\r\n"));
  EXPECT_EQ(vars.ServerPort, 99999);
}

TEST_F(IniFileTest, NumbersTooBigForTheirSettingAreClampedBeforeTheRule) {
  ASSERT_TRUE(
      ReadContent("Input=99999\r\nConsole=-99999\r\nRefresh Rate=99999\r\n"
                  "Time Out=1e9\r\nIP Port=9e999\r\nUser Name=kept\r\n"));
  EXPECT_EQ(SettingsOf(vars), (IniSettings{.port = 2147483647,
                                           .input = 32767,
                                           .console = 0,
                                           .refreshRate = 32500,
                                           .timeOut = 3600,
                                           .userName = "kept"}));
  EXPECT_EQ(vars.PollInterval, 650000);
  EXPECT_EQ(window.pollTimerInterval, 650000);
}

TEST_F(IniFileTest, APasswordThatCannotBeUnscrambledFailsKeepingWhatWasRead) {
  EXPECT_NE(FailureCodeOf([&] { ReadContent("Input=7\r\nPassword=\x01\x01\r\n"); }), 0);
  EXPECT_EQ(vars.SelectedSource, 7);
  EXPECT_EQ(vars.Password, "");
  EXPECT_TRUE(window.windowOrders.empty());
}

TEST_F(IniFileTest, AFailedWriteLeavesTheOldFileWholeAndIsReported) {
  folder.Write(kIniFileName, kWrittenFile);
  fs::create_directory(folder.File("qevntpnl.ini.tmp"));  // in the way of the new file

  EXPECT_FALSE(WriteIniFile(vars, reporter));
  EXPECT_EQ(folder.Read(kIniFileName), kWrittenFile);
  ASSERT_EQ(reporter.reports.size(), 1u);
  EXPECT_TRUE(reporter.Has("Error Writing ini File", "File Error"));
  EXPECT_TRUE(fs::is_directory(folder.File("qevntpnl.ini.tmp")));
}

// The new file is written, but it cannot take the old one's place: the save fails, says so,
// and leaves no temporary file behind.
TEST_F(IniFileTest, ASaveThatCannotReplaceTheFileRemovesItsTemporaryFile) {
  fs::create_directories(folder.File("qevntpnl.ini") / "in the way");
  EXPECT_FALSE(WriteIniFile(vars, reporter));
  EXPECT_TRUE(reporter.Has("Error Writing ini File", "File Error"));
  EXPECT_FALSE(folder.Exists("qevntpnl.ini.tmp"));
#if defined(_WIN32)
  // Another program (an editor, a virus scanner) holds the file open without sharing it.
  fs::remove_all(folder.File("qevntpnl.ini"));
  folder.Write(kIniFileName, kWrittenFile);
  const HANDLE held = CreateFileW(folder.File(kIniFileName).c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(WriteIniFile(vars, reporter));
  CloseHandle(held);
  EXPECT_EQ(folder.Read(kIniFileName), kWrittenFile);
  EXPECT_FALSE(folder.Exists("qevntpnl.ini.tmp"));
  EXPECT_EQ(reporter.reports.size(), 2u);
#endif
}

TEST_F(IniFileTest, APasswordThatCannotBeScrambledLeavesTheOldFileWhole) {
  folder.Write(kIniFileName, kWrittenFile);
  vars.Password = "a\xFE";  // 0xFE + 2 does not fit a byte

  EXPECT_FALSE(WriteIniFile(vars, reporter));
  EXPECT_EQ(folder.Read(kIniFileName), kWrittenFile);
  EXPECT_TRUE(reporter.Has("Error Writing ini File", "File Error"));
  EXPECT_FALSE(folder.Exists("qevntpnl.ini.tmp"));
}

TEST_F(IniFileTest, DamagedFilesNeverCrashAndYieldWhatTheyCan) {
  // One 10 MB line: the whole file is a single entry.
  EXPECT_TRUE(ReadContent("Input=5" + std::string(10 * 1024 * 1024, 'x')));
  EXPECT_EQ(vars.SelectedSource, 5);

  // Ten million empty entries, then a real one.
  EXPECT_TRUE(ReadContent(std::string(10 * 1000 * 1000, ',') + "Console=8"));
  EXPECT_EQ(vars.SelectedConsole, 8);

  // NULs and 8-bit bytes around the entries; an unclosed quote runs to the end.
  const char damaged[] = "\0\xFF\x80,Time Out=7\0,\"Input=3,Console=4";
  EXPECT_TRUE(ReadContent(std::string(damaged, sizeof damaged - 1)));
  EXPECT_EQ(vars.TimeOut, 7);
  EXPECT_EQ(vars.SelectedSource, 3);
  EXPECT_EQ(vars.SelectedConsole, 8);  // inside the quote: not an entry of its own

  // Random bytes: read, or a failure the caller reports; nothing else.
  std::mt19937 random(20200317);
  for (int round = 0; round < 20; ++round) {
    std::string junk(64 * 1024, '\0');
    for (char& c : junk) c = static_cast<char>(random() & 0xFF);
    try {
      ReadContent(junk);
    } catch (const Failure&) {
    }
  }
}
