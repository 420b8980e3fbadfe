#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>
#include <string>

#include "setup/Failure.h"
#include "setup/Procedures.h"
#include "support/Bytes.h"
#include "support/FailureCode.h"
#include "support/Fakes.h"
#include "support/FaultyFiles.h"
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

  // The names in the folder: a save leaves no temporary file behind.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder.Path())) {
      names.insert(Utf8Text(entry.path().filename()));
    }
    return names;
  }

  TempFolder folder;
  FakeWindow window;
  RecordingReporter reporter;
  Variables vars;
};

using NameSet = std::set<std::string>;

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
  EXPECT_EQ(Names(), (NameSet{"qevntpnl.ini"}));
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
  FaultyFiles files;
  files.held.insert(kIniFileName);  // another program keeps it from being replaced

  EXPECT_FALSE(WriteIniFile(vars, reporter));
  EXPECT_EQ(folder.Read(kIniFileName), kWrittenFile);
  ASSERT_EQ(reporter.reports.size(), 1u);
  EXPECT_TRUE(reporter.Has("Error Writing ini File", "File Error"));
  EXPECT_EQ(Names(), (NameSet{"qevntpnl.ini"}));
}

#if !defined(_WIN32)
// In a folder others may write, a link planted where the temporary file went would have had
// the settings written over its target, and the link put in the file's place.
TEST_F(IniFileTest, ALinkPlantedAtATemporaryNameIsNeverWrittenThrough) {
  fs::create_directory(folder.File("elsewhere"));
  folder.Write("elsewhere/victim", "untouched");
  fs::create_symlink(folder.File("elsewhere/victim"), folder.File("qevntpnl.ini.tmp"));
  Apply(kWritten, vars);
  vars.Password = "abc";

  EXPECT_TRUE(WriteIniFile(vars, reporter));
  EXPECT_EQ(folder.Read("elsewhere/victim"), "untouched");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder.File(kIniFileName))));
  EXPECT_EQ(folder.Read(kIniFileName), kWrittenFile);
  EXPECT_EQ(Names(), (NameSet{"elsewhere", "qevntpnl.ini", "qevntpnl.ini.tmp"}));
}

TEST_F(IniFileTest, ARewriteKeepsTheFilesPermissions) {
  const auto modeOf = [&] { return fs::status(folder.File(kIniFileName)).permissions(); };
  ASSERT_TRUE(WriteIniFile(vars, reporter));
  const fs::perms fresh = modeOf();  // a new file, as the user's umask has it

  for (const fs::perms mode : {fs::perms::owner_read | fs::perms::owner_write,
                               fs::perms::owner_read | fs::perms::group_read}) {
    fs::permissions(folder.File(kIniFileName), mode);
    ASSERT_TRUE(WriteIniFile(vars, reporter));
    EXPECT_EQ(modeOf(), mode);
  }
  fs::remove(folder.File(kIniFileName));
  ASSERT_TRUE(WriteIniFile(vars, reporter));
  EXPECT_EQ(modeOf(), fresh);
}
#endif

// Another user's file (or, on Windows, one another program held at start) cannot be read: the
// panel runs on its start-up values, and its first save keeps that file aside, not losing the
// administrator's address and password.
TEST_F(IniFileTest, AFileThatCouldNotBeReadIsKeptAsideByTheFirstSave) {
  folder.Write(kIniFileName, kWrittenFile);
  folder.Write("qevntpnl.ini.unreadable", "kept by an earlier run");
  {
    FaultyFiles files;
    files.unreadable.insert(kIniFileName);
    EXPECT_EQ(FailureCodeOf([&] { ReadIniFile(vars, window, window); }), kFileAccess);
  }
  EXPECT_EQ(vars.ServerAddress, "");

  EXPECT_TRUE(WriteIniFile(vars, reporter));
  EXPECT_EQ(folder.Read("qevntpnl.ini.unreadable"), kWrittenFile);
  EXPECT_EQ(folder.Read(kIniFileName), IniText({}));
  ASSERT_EQ(reporter.reports.size(), 1u);
  const RecordingReporter::Report& said = reporter.reports[0];
  EXPECT_EQ(said.message, "Error Reading ini File");
  EXPECT_EQ(said.location, "File Error");
  EXPECT_TRUE(Contains(said.description, "Permission denied")) << said.description;
  EXPECT_TRUE(said.description.ends_with("; the file is kept as " +
                                         Utf8Text(folder.File("qevntpnl.ini.unreadable"))))
      << said.description;

  // The panel's own file is now in place: later saves replace it as usual.
  EXPECT_TRUE(WriteIniFile(vars, reporter));
  EXPECT_EQ(folder.Read("qevntpnl.ini.unreadable"), kWrittenFile);
  EXPECT_EQ(reporter.reports.size(), 1u);
  EXPECT_EQ(Names(), (NameSet{"qevntpnl.ini", "qevntpnl.ini.unreadable"}));

#if defined(_WIN32)
  // An editor or a virus scanner holds the file, sharing nothing, while the panel starts.
  fs::remove(folder.File("qevntpnl.ini.unreadable"));
  folder.Write(kIniFileName, kWrittenFile);
  Variables next;
  ProgramSetup(next, window, reporter, {folder.Text()});
  const HANDLE held = CreateFileW(folder.File(kIniFileName).c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FailureCodeOf([&] { ReadIniFile(next, window, window); }), kFileAccess);
  CloseHandle(held);
  EXPECT_TRUE(WriteIniFile(next, reporter));
  EXPECT_EQ(folder.Read("qevntpnl.ini.unreadable"), kWrittenFile);
  EXPECT_EQ(reporter.reports.size(), 2u);
#endif
}

namespace {

std::string Utf16(std::u16string_view text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

}  // namespace

// Notepad's "UTF-8" and "Unicode" (UTF-16) start the file with a byte-order mark. The settings
// are read from the text, the first line's too; a character the panel's 8-bit text lacks is "?".
TEST_F(IniFileTest, AFileWithAByteOrderMarkIsReadAsTheTextItHolds) {
  const std::u16string text = u"Input=7\r\nUser Name=Zo\u00EB\u5C71\r\nIP Address=10.0.0.9\r\n";
  const std::string utf8 =
      "\xEF\xBB\xBFInput=7\r\nUser Name=Zo\xC3\xAB\xE5\xB1\xB1\r\nIP Address=10.0.0.9\r\n";
  for (const std::string& content : {utf8, Utf16(text, false), Utf16(text, true)}) {
    ProgramSetup(vars, window, reporter, {folder.Text()});
    ASSERT_TRUE(ReadContent(content));
    EXPECT_EQ(vars.SelectedSource, 7);
    EXPECT_EQ(vars.UserName, "Zo\xEB?");
    EXPECT_EQ(vars.ServerAddress, "10.0.0.9");
  }
  ASSERT_TRUE(WriteIniFile(vars, reporter));
  EXPECT_EQ(folder.Read(kIniFileName),
            IniText({.address = "10.0.0.9", .input = 7, .userName = "Zo\xEB?"}));
}

// The new file is written, but it cannot take the old one's place: the save fails, says so,
// and leaves no temporary file behind.
TEST_F(IniFileTest, ASaveThatCannotReplaceTheFileRemovesItsTemporaryFile) {
  fs::create_directories(folder.File("qevntpnl.ini") / "in the way");
  EXPECT_FALSE(WriteIniFile(vars, reporter));
  EXPECT_TRUE(reporter.Has("Error Writing ini File", "File Error"));
  EXPECT_EQ(Names(), (NameSet{"qevntpnl.ini"}));
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
  EXPECT_EQ(Names(), (NameSet{"qevntpnl.ini"}));
  EXPECT_EQ(reporter.reports.size(), 2u);
#endif
}

TEST_F(IniFileTest, APasswordThatCannotBeScrambledLeavesTheOldFileWhole) {
  folder.Write(kIniFileName, kWrittenFile);
  vars.Password = "a\xFE";  // 0xFE + 2 does not fit a byte

  EXPECT_FALSE(WriteIniFile(vars, reporter));
  EXPECT_EQ(folder.Read(kIniFileName), kWrittenFile);
  EXPECT_TRUE(reporter.Has("Error Writing ini File", "File Error"));
  EXPECT_EQ(Names(), (NameSet{"qevntpnl.ini"}));
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
