#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <stdexcept>
#include <string>

#include "setup/Procedures.h"
#include "support/IniText.h"
#include "support/Rig.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

// A program folder the panel may write: the settings live beside the program.
ProgramFolders WritableProgram(const std::string& program) {
  return {program, "", "", [](const std::string&) { return true; }};
}

// The folder with the platform's own separator at its end.
std::string Ending(const std::string& folder) {
  return folder + kFolderSeparator;
}

template <typename AnyRig>
void SetUpProgram(AnyRig& rig, const std::string& program = "/opt/panel") {
  ProgramSetup(rig.vars, rig.window, rig.log, WritableProgram(program));
}

}  // namespace

TEST(ProgramSetup, GivesEverySettingItsStartUpValue) {
  Rig rig;
  Variables& vars = rig.vars;
  vars.ServerPort = 9;
  vars.SelectedSource = 40;
  vars.StayOnTopMode = kNotTopmost;
  vars.UserName = "someone";
  vars.Password = "secret";
  vars.RefreshRate = 7;

  SetUpProgram(rig);

  EXPECT_EQ(vars.AppFolder, Ending("/opt/panel"));
  EXPECT_EQ(SettingsOf(vars), IniSettings{});
  EXPECT_EQ(vars.Password, "");
  EXPECT_TRUE(rig.log.reports.empty());
}

TEST(ProgramSetup, StopsThePollTimerAndTimesItForTheDefaultRefreshRate) {
  Rig rig;
  SetUpProgram(rig, Ending("/opt/panel"));

  EXPECT_FALSE(rig.window.pollTimerEnabled);
  EXPECT_EQ(rig.vars.PollInterval, 20);
  EXPECT_EQ(rig.window.pollTimerInterval, 20);
  EXPECT_EQ(rig.vars.AppFolder, Ending("/opt/panel"));  // no second separator
  EXPECT_TRUE(rig.window.windowOrders.empty());
#if defined(_WIN32)
  // Qt hands the program folder with "/" on Windows too.
  SetUpProgram(rig, "C:/Panel/");
  EXPECT_EQ(rig.vars.AppFolder, "C:/Panel/");
#endif
}

TEST(ProgramSetup, BuildsTheDefaultNameTablesWithoutFillingTheSelectors) {
  Rig rig;
  SetUpProgram(rig);
  const Variables& vars = rig.vars;

  EXPECT_EQ(vars.InputCount, 256);
  ASSERT_EQ(vars.InputNames.size(), 256u);
  ASSERT_EQ(vars.InputNumbers.size(), 256u);
  ASSERT_EQ(vars.ConsoleNames.size(), 256u);
  EXPECT_EQ(vars.InputNames[0], "Inpt0001");
  EXPECT_EQ(vars.InputNames[9], "Inpt0010");
  EXPECT_EQ(vars.InputNames[255], "Inpt0256");
  EXPECT_EQ(vars.ConsoleNames[0], "Console 001");
  EXPECT_EQ(vars.ConsoleNames[99], "Console 100");
  EXPECT_EQ(vars.ConsoleNames[255], "Console 256");
  for (int i = 1; i <= 256; ++i) EXPECT_EQ(vars.InputNumbers[i - 1], i);
  EXPECT_EQ(rig.window.inputComboLoads, 0);
  EXPECT_EQ(rig.window.consoleComboLoads, 0);
}

namespace {

// A window whose poll timer refuses to be re-timed.
class BrokenTimerWindow : public FakeWindow {
 public:
  void SetPollTimerInterval(std::int32_t) override { throw std::runtime_error("timer"); }
};

}  // namespace

TEST(ProgramSetup, ReportsAFailureAndKeepsWhatItHadSet) {
  BasicRig<FakeSocket, BrokenTimerWindow> rig;
  SetUpProgram(rig);

  EXPECT_TRUE(rig.log.Has("Error on program setup", "Program Error"));
  EXPECT_EQ(rig.vars.AppFolder, Ending("/opt/panel"));
  EXPECT_EQ(rig.vars.ConsoleNames[255], "Console 256");
}

// A copy that may write its folder keeps its files there; an installed one (in or below the
// install folder, where even root must not write, or in a folder it may not write) keeps them in
// the user's own folder, starting from the program folder's preset, which it never writes.
TEST(ProgramSetup, KeepsTheFilesWhereTheProgramMayWriteThem) {
  struct Case {
    const char* name;
    bool inInstallFolder, programWritable, preset;
    bool userFolderBlocked;  // a file where the user's folder must go
    bool besideProgram, saved;
  };
  const Case cases[] = {
      {"copy in a writable folder", false, true, true, false, true, true},
      {"installed with a preset, run by root", true, true, true, false, false, true},
      {"installed without a preset", false, false, false, false, false, true},
      {"user folder cannot be made", false, false, true, true, false, false},
  };
  const std::string presetText = "IP Address=10.1.1.1\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder root;
    const fs::path program = root.File("bin"), user = root.File("config") / "qevntpnl";
    fs::create_directories(program);
    fs::create_directories(user.parent_path());
    if (c.preset) root.Write("bin/qevntpnl.ini", presetText);
    if (c.userFolderBlocked) root.Write("config/qevntpnl", "in the way");
    const ProgramFolders folders{Utf8Text(program), Utf8Text(user),
                                 c.inInstallFolder ? root.WithSeparator() : "/usr/bin",
                                 [&c](const std::string&) { return c.programWritable; }};
    Variables vars;
    FakeWindow window;
    RecordingReporter reporter;
    ::testing::internal::CaptureStderr();
    ProgramSetup(vars, window, reporter, folders);
    const std::string complaint = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(vars.AppFolder, Ending(Utf8Text(c.besideProgram ? program : user)));
    EXPECT_EQ(std::count(complaint.begin(), complaint.end(), '\n'), c.userFolderBlocked ? 1 : 0);
    EXPECT_EQ(ReadIniFile(vars, window, window), c.preset);

    vars.ServerAddress = "10.2.2.2";
    EXPECT_EQ(WriteIniFile(vars, reporter), c.saved);
    EXPECT_TRUE(c.besideProgram || !c.preset || root.Read("bin/qevntpnl.ini") == presetText);
    EXPECT_TRUE(!c.userFolderBlocked || root.Read("config/qevntpnl") == "in the way");
    // The next start reads what was saved, before any preset.
    Variables next;
    ProgramSetup(next, window, reporter, folders);
    ReadIniFile(next, window, window);
    EXPECT_EQ(next.ServerAddress, c.saved ? "10.2.2.2" : "10.1.1.1");
  }
}

// Decided by making a file there: a file in the folder's place passes a check of its mode
// ("may write it"), but no settings file can be made in it.
TEST(FolderIsWritable, IsDecidedByMakingAFileThereAndLeavesNothingBehind) {
  TempFolder root;
  root.Write("in the way", "a file");
  EXPECT_TRUE(FolderIsWritable(root.Text()));
  EXPECT_TRUE(FolderIsWritable(root.WithSeparator()));
  EXPECT_FALSE(FolderIsWritable(Utf8Text(root.File("in the way"))));
  EXPECT_FALSE(FolderIsWritable(Utf8Text(root.File("missing"))));
  EXPECT_EQ(std::distance(fs::directory_iterator(root.Path()), fs::directory_iterator()), 1);
}
