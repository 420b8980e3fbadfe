#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "setup/InstallerPreset.h"
#include "setup/Procedures.h"
#include "support/Fakes.h"
#include "support/IniText.h"
#include "support/TempFolder.h"

namespace {

using Outcome = InstallerPreset::Outcome;

IniSettings PresetFile(const std::string& address, std::int32_t port) {
  IniSettings settings;
  settings.address = address;
  settings.port = port;
  return settings;
}

}  // namespace

TEST(InstallerPreset, NoPropertiesMeanNoPreset) {
  EXPECT_EQ(CheckInstallerPreset("", "").outcome, Outcome::None);
}

// The installer takes what Setup takes: the address repaired as Setup repairs it, the port
// read as the port box reads it.
TEST(InstallerPreset, TakesWhatSetupTakes) {
  const InstallerPreset repaired = CheckInstallerPreset("010.001.1.300", "1251");
  EXPECT_EQ(repaired.outcome, Outcome::Write);
  EXPECT_EQ(repaired.address, "10.1.1.255");
  EXPECT_EQ(repaired.port, 1251);

  EXPECT_EQ(CheckInstallerPreset("10.1.2.3", "").port, std::nullopt);
  EXPECT_EQ(CheckInstallerPreset("10.1.2.3", "1").port, 1);
  EXPECT_EQ(CheckInstallerPreset("10.1.2.3", "65535").port, 65535);
  EXPECT_EQ(CheckInstallerPreset("10.1.2.3", "1250abc").port, 1250);
  EXPECT_EQ(CheckInstallerPreset("10.1.2.3", "1250.5").port, 1250);  // halves to even
}

TEST(InstallerPreset, RefusesWhatSetupRefusesAndSaysWhichProperty) {
  for (const char* address : {"192.168.1", "192.168.1.", "server.example", "localhost"}) {
    const InstallerPreset preset = CheckInstallerPreset(address, "1250");
    EXPECT_EQ(preset.outcome, Outcome::Refused) << address;
    EXPECT_NE(preset.reason.find(std::string("SERVERADDRESS=\"") + address + "\""),
              std::string::npos)
        << preset.reason;
  }
  for (const char* port : {"0", "65536", "-1", "port", " "}) {
    const InstallerPreset preset = CheckInstallerPreset("10.1.2.3", port);
    EXPECT_EQ(preset.outcome, Outcome::Refused) << port;
    EXPECT_NE(preset.reason.find("between 1 and 65535"), std::string::npos) << preset.reason;
  }
  // A port without an address would give every desk a file that names no server.
  const InstallerPreset portOnly = CheckInstallerPreset("", "1250");
  EXPECT_EQ(portOnly.outcome, Outcome::Refused);
  EXPECT_NE(portOnly.reason.find("without SERVERADDRESS"), std::string::npos);
}

TEST(InstallerPreset, WritesThePanelsOwnFileWithEveryOtherSettingAtItsStartUpValue) {
  TempFolder folder;
  folder.Write(kIniFileName, "an older preset");
  RecordingReporter log;

  ASSERT_TRUE(WriteInstallerPreset(folder.Text(), CheckInstallerPreset("10.1.2.3", "1251"), log));
  EXPECT_EQ(folder.Read(kIniFileName), IniText(PresetFile("10.1.2.3", 1251)));

  ASSERT_TRUE(
      WriteInstallerPreset(folder.WithSeparator(), CheckInstallerPreset("10.1.2.4", ""), log));
  EXPECT_EQ(folder.Read(kIniFileName), IniText(PresetFile("10.1.2.4", 1250)));
  EXPECT_TRUE(log.reports.empty());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

TEST(InstallerPreset, AFileThatCannotBeWrittenIsReportedAndFails) {
  TempFolder folder;
  std::filesystem::create_directory(folder.File(kIniFileName));  // in the file's way
  RecordingReporter log;

  EXPECT_FALSE(WriteInstallerPreset(folder.Text(), CheckInstallerPreset("10.1.2.3", ""), log));
  EXPECT_TRUE(log.Has("Error Writing ini File", "File Error"));
}

TEST(InstallerPreset, RemovingTakesOnlyThePreset) {
  TempFolder folder;
  folder.Write(kIniFileName, IniText(PresetFile("10.1.2.3", 1250)));
  folder.Write("qevntpnl.exe", "program");

  EXPECT_TRUE(RemoveInstallerPreset(folder.Text()));
  EXPECT_FALSE(folder.Exists(kIniFileName));
  EXPECT_TRUE(folder.Exists("qevntpnl.exe"));
  EXPECT_TRUE(RemoveInstallerPreset(folder.Text()));  // none left: nothing to do
}

TEST(InstallerPreset, TheCheckedPresetReachesTheWritingStepWhole) {
  const std::string programFolder = "C:\\Program Files\\QEV Zozudo Zoë\\";
  for (const char* port : {"1251", ""}) {
    const InstallerPreset checked = CheckInstallerPreset("10.1.2.3", port);
    std::string folder;
    InstallerPreset handed;
    ASSERT_TRUE(
        ParseInstallerPresetData(InstallerPresetData(programFolder, checked), folder, handed));
    EXPECT_EQ(folder, programFolder);
    EXPECT_EQ(handed.address, checked.address);
    EXPECT_EQ(handed.port, checked.port);
  }
  std::string folder;
  InstallerPreset handed;
  EXPECT_FALSE(ParseInstallerPresetData("", folder, handed));
  EXPECT_FALSE(ParseInstallerPresetData("C:\\only a folder\\", folder, handed));
}

// An install without the properties over a machine with a preset (an upgrade) puts that preset
// back byte for byte, whatever it holds, once the older version's removal has taken it.
TEST(InstallerPreset, AnUpgradeWithoutPropertiesKeepsTheMachinesPresetByteForByte) {
  TempFolder folder;
  const std::string bytes = IniText(PresetFile("10.1.2.3", 1251)) + "User Name=a|b\xFF\r\n";
  folder.Write(kIniFileName, bytes);

  InstallerPreset checked = CheckInstallerPreset("", "");
  KeepMachinePreset(folder.Text(), checked);
  ASSERT_EQ(checked.outcome, Outcome::Keep);

  std::string programFolder;
  InstallerPreset handed;
  ASSERT_TRUE(ParseInstallerPresetData(InstallerPresetData(folder.WithSeparator(), checked),
                                       programFolder, handed));
  ASSERT_TRUE(RemoveInstallerPreset(folder.Text()));
  RecordingReporter log;
  ASSERT_TRUE(WriteInstallerPreset(programFolder, handed, log));
  EXPECT_EQ(folder.Read(kIniFileName), bytes);

  // Given properties win, and a machine without a preset keeps none.
  InstallerPreset given = CheckInstallerPreset("10.9.9.9", "");
  KeepMachinePreset(folder.Text(), given);
  EXPECT_EQ(given.outcome, Outcome::Write);
  ASSERT_TRUE(RemoveInstallerPreset(folder.Text()));
  InstallerPreset none = CheckInstallerPreset("", "");
  KeepMachinePreset(folder.Text(), none);
  EXPECT_EQ(none.outcome, Outcome::None);
}
