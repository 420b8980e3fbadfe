#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "setup/Procedures.h"
#include "support/Fakes.h"

TEST(ProgramSetup, GivesEverySettingItsStartUpValue) {
  Variables vars;
  vars.ServerPort = 9;
  vars.SelectedSource = 40;
  vars.StayOnTopMode = kNotTopmost;
  vars.UserName = "someone";
  vars.Password = "secret";
  vars.RefreshRate = 7;
  FakeWindow window;
  RecordingReporter reporter;

  ProgramSetup(vars, window, reporter, "/opt/panel");

  EXPECT_EQ(vars.AppFolder, "/opt/panel/");
  EXPECT_EQ(vars.ServerAddress, "");
  EXPECT_EQ(vars.ServerPort, 1250);
  EXPECT_EQ(vars.SelectedSource, 1);
  EXPECT_EQ(vars.SelectedConsole, 0);
  EXPECT_EQ(vars.StayOnTopMode, kTopmost);
  EXPECT_EQ(vars.RefreshRate, 1);
  EXPECT_EQ(vars.TimeOut, 20);
  EXPECT_EQ(vars.UserName, "");
  EXPECT_EQ(vars.Password, "");
  EXPECT_TRUE(reporter.reports.empty());
}

TEST(ProgramSetup, StopsThePollTimerAndTimesItForTheDefaultRefreshRate) {
  Variables vars;
  FakeWindow window;
  RecordingReporter reporter;
  ProgramSetup(vars, window, reporter, "/opt/panel/");

  EXPECT_FALSE(window.pollTimerEnabled);
  EXPECT_EQ(vars.PollInterval, 20);
  EXPECT_EQ(window.pollTimerInterval, 20);
  EXPECT_EQ(vars.AppFolder, "/opt/panel/");  // no second separator
  EXPECT_TRUE(window.windowOrders.empty());
}

TEST(ProgramSetup, BuildsTheDefaultNameTablesWithoutFillingTheSelectors) {
  Variables vars;
  FakeWindow window;
  RecordingReporter reporter;
  ProgramSetup(vars, window, reporter, "/opt/panel");

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
  EXPECT_EQ(window.inputComboLoads, 0);
  EXPECT_EQ(window.consoleComboLoads, 0);
}

namespace {

// A window whose poll timer refuses to be re-timed.
class BrokenTimerWindow : public FakeWindow {
 public:
  void SetPollTimerInterval(std::int32_t) override { throw std::runtime_error("timer"); }
};

}  // namespace

TEST(ProgramSetup, ReportsAFailureAndKeepsWhatItHadSet) {
  Variables vars;
  BrokenTimerWindow window;
  RecordingReporter reporter;
  ProgramSetup(vars, window, reporter, "/opt/panel");

  EXPECT_TRUE(reporter.Has("Error on program setup", "Program Error"));
  EXPECT_EQ(vars.AppFolder, "/opt/panel/");
  EXPECT_EQ(vars.ConsoleNames[255], "Console 256");
}
