#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "setup/InstallerPreset.h"
#include "setup/Procedures.h"
#include "support/Bytes.h"
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

// The installer takes what Setup takes: the address repaired as Setup repairs it, the port
// read as the port box reads it. No properties: no preset.
TEST(InstallerPreset, TakesWhatSetupTakes) {
  EXPECT_EQ(CheckInstallerPreset("", "").outcome, Outcome::None);
  const InstallerPreset repaired = CheckInstallerPreset("010.001.1.300", "1251");
  EXPECT_EQ(repaired.outcome, Outcome::Write);
  EXPECT_EQ(repaired.address, "10.1.1.255");
  EXPECT_EQ(repaired.port, 1251);

  EXPECT_EQ(CheckInstallerPreset("10.1.2.3", "").port, std::nullopt);
  EXPECT_EQ(CheckInstallerPreset("10.1.2.3", "65535").port, 65535);
  EXPECT_EQ(CheckInstallerPreset("10.1.2.3", "1250abc").port, 1250);
  EXPECT_EQ(CheckInstallerPreset("10.1.2.3", "1250.5").port, 1250);  // halves to even
}

TEST(InstallerPreset, RefusesWhatSetupRefusesAndSaysWhichProperty) {
  const auto refusal = [](const char* address, const char* port) {
    const InstallerPreset preset = CheckInstallerPreset(address, port);
    EXPECT_EQ(preset.outcome, Outcome::Refused) << address << " " << port;
    return preset.reason;
  };
  for (const char* address : {"192.168.1", "server.example"}) {
    EXPECT_TRUE(Contains(refusal(address, "1250"), std::string("SERVERADDRESS=\"") + address));
  }
  for (const char* port : {"0", "65536", "port"}) {
    EXPECT_TRUE(Contains(refusal("10.1.2.3", port), "between 1 and 65535")) << port;
  }
  // A port without an address would give every desk a file that names no server.
  EXPECT_TRUE(Contains(refusal("", "1250"), "without SERVERADDRESS"));
}

TEST(InstallerPreset, WritesThePanelsOwnFileAndRemovesOnlyThatOne) {
  TempFolder folder;
  folder.Write(kIniFileName, "an older preset");
  folder.Write("qevntpnl.exe", "program");
  RecordingReporter log;

  ASSERT_TRUE(WriteInstallerPreset(folder.Text(), CheckInstallerPreset("10.1.2.3", "1251"), log));
  EXPECT_EQ(folder.Read(kIniFileName), IniText(PresetFile("10.1.2.3", 1251)));
  ASSERT_TRUE(
      WriteInstallerPreset(folder.WithSeparator(), CheckInstallerPreset("10.1.2.4", ""), log));
  EXPECT_EQ(folder.Read(kIniFileName), IniText(PresetFile("10.1.2.4", 1250)));
  EXPECT_TRUE(log.reports.empty());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 2);

  EXPECT_TRUE(RemoveInstallerPreset(folder.Text()));
  EXPECT_FALSE(folder.Exists(kIniFileName));
  EXPECT_TRUE(folder.Exists("qevntpnl.exe"));
  EXPECT_TRUE(RemoveInstallerPreset(folder.Text()));  // none left: nothing to do

  std::filesystem::create_directory(folder.File(kIniFileName));  // in the file's way
  EXPECT_FALSE(WriteInstallerPreset(folder.Text(), CheckInstallerPreset("10.1.2.3", ""), log));
  EXPECT_TRUE(log.Has("Error Writing ini File", "File Error"));
}

// What the check decides reaches the writing step whole. An install without the properties
// over a machine with a preset (an upgrade) puts that preset back byte for byte, whatever it
// holds, once the older version's removal has taken it.
TEST(InstallerPreset, AnUpgradeWithoutPropertiesKeepsTheMachinesPresetByteForByte) {
  std::string programFolder;
  InstallerPreset handed;
  const InstallerPreset checked = CheckInstallerPreset("10.1.2.3", "1251");
  ASSERT_TRUE(ParseInstallerPresetData(InstallerPresetData("C:\\Program Files\\Zoë\\", checked),
                                       programFolder, handed));
  EXPECT_EQ(programFolder, "C:\\Program Files\\Zoë\\");
  EXPECT_EQ(handed.address, checked.address);
  EXPECT_EQ(handed.port, checked.port);
  EXPECT_FALSE(ParseInstallerPresetData("", programFolder, handed));
  EXPECT_FALSE(ParseInstallerPresetData("C:\\only a folder\\", programFolder, handed));

  TempFolder folder;
  const std::string bytes = IniText(PresetFile("10.1.2.3", 1251)) + "User Name=a|b\xFF\r\n";
  folder.Write(kIniFileName, bytes);
  InstallerPreset kept = CheckInstallerPreset("", "");
  KeepMachinePreset(folder.Text(), kept);
  ASSERT_EQ(kept.outcome, Outcome::Keep);
  ASSERT_TRUE(ParseInstallerPresetData(InstallerPresetData(folder.WithSeparator(), kept),
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
