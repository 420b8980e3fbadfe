#include "setup/InstallerPreset.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "app/Variables.h"
#include "protocol/LinkTimers.h"
#include "setup/AddressCheck.h"
#include "setup/FilePath.h"
#include "setup/FileSystem.h"
#include "setup/NumberText.h"
#include "setup/Procedures.h"
#include "setup/Settings.h"

namespace {

// The installer has no poll timer to set up.
class NoTimers : public LinkTimers {
 public:
  void SetPollTimerEnabled(bool) override {}
  void SetPollTimerInterval(std::int32_t) override {}
  void EnableDecodeTimer() override {}
};

constexpr const char* kKeepMark = "keep";

std::filesystem::path PresetPath(const std::string& programFolder) {
  return FilePath(WithFolderSeparator(programFolder) + kIniFileName);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

InstallerPreset Refused(std::string reason) {
  InstallerPreset preset;
  preset.outcome = InstallerPreset::Outcome::Refused;
  preset.reason = std::move(reason);
  return preset;
}

}  // namespace

InstallerPreset CheckInstallerPreset(const std::string& address, const std::string& port) {
  if (address.empty() && port.empty()) return {};
  // A port alone would leave the panel without a server to use it with.
  if (address.empty()) {
    return Refused("SERVERPORT=\"" + port +
                   "\" was given without SERVERADDRESS; the preset needs the Server Module's "
                   "address");
  }
  const std::optional<std::string> normalised = NormaliseIPAddress(address);
  if (!normalised) {
    return Refused("SERVERADDRESS=\"" + address +
                   "\" refused: Please Enter IP Address In The Following Format: 192.168.1.1");
  }
  InstallerPreset preset;
  preset.outcome = InstallerPreset::Outcome::Write;
  preset.address = *normalised;
  if (!port.empty()) {
    // Taken as the port box takes it: its leading number, checked, then rounded.
    const double value = LeadingNumber(port);
    if (!settings::InRange(settings::kIPPort, value)) {
      return Refused("SERVERPORT=\"" + port +
                     "\" refused: Invalid IP Port #. Please reenter a number between 1 and 65535");
    }
    preset.port = static_cast<std::int32_t>(RoundHalfEven(value));
  }
  return preset;
}

void KeepMachinePreset(const std::string& programFolder, InstallerPreset& preset) {
  if (preset.outcome != InstallerPreset::Outcome::None) return;
  try {
    preset.kept = Files().ReadWholeFile(PresetPath(programFolder));
  } catch (...) {
    return;  // no preset on this machine, or none that can be read: nothing to keep
  }
  preset.outcome = InstallerPreset::Outcome::Keep;
}

bool WriteInstallerPreset(const std::string& programFolder, const InstallerPreset& preset,
                          ErrorReporter& log) {
  if (preset.outcome == InstallerPreset::Outcome::Keep) {
    // As the panel replaces its own: the preset is whole or not touched.
    try {
      ReplaceIniFile(WithFolderSeparator(programFolder), preset.kept);
      return true;
    } catch (...) {
      log.ReportError("Error Writing ini File", "File Error");
      return false;
    }
  }
  // The settings the panel starts with, placed beside the program: the file is then the very
  // one the panel itself would write there.
  Variables vars;
  NoTimers timers;
  const ProgramFolders folders{programFolder, "", "", [](const std::string&) { return true; }};
  ProgramSetup(vars, timers, log, folders);
  vars.ServerAddress = preset.address;
  if (preset.port) vars.ServerPort = *preset.port;
  return WriteIniFile(vars, log);
}

bool RemoveInstallerPreset(const std::string& programFolder) {
  std::error_code error;
  std::filesystem::remove(PresetPath(programFolder), error);
  return !error;
}

// folder|address|port to write a preset, folder|keep|bytes in hexadecimal to put one back (an
// address is never "keep"): the installer's hand-over is text, and a preset may hold any byte.
std::string InstallerPresetData(const std::string& programFolder, const InstallerPreset& preset) {
  if (preset.outcome == InstallerPreset::Outcome::Keep) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (const char c : preset.kept) {
      const auto byte = static_cast<unsigned char>(c);
      hex += digits[byte >> 4];
      hex += digits[byte & 0x0F];
    }
    return programFolder + "|" + kKeepMark + "|" + hex;
  }
  return programFolder + "|" + preset.address + "|" +
         (preset.port ? std::to_string(*preset.port) : std::string());
}

bool ParseInstallerPresetData(const std::string& data, std::string& programFolder,
                              InstallerPreset& preset) {
  const std::size_t first = data.find('|');
  const std::size_t second = first == std::string::npos ? first : data.find('|', first + 1);
  if (second == std::string::npos) return false;
  programFolder = data.substr(0, first);
  preset = {};
  preset.outcome = InstallerPreset::Outcome::Write;
  preset.address = data.substr(first + 1, second - first - 1);
  const std::string rest = data.substr(second + 1);
  if (preset.address == kKeepMark) {
    preset.outcome = InstallerPreset::Outcome::Keep;
    preset.address.clear();
    if (rest.size() % 2 != 0) return false;
    for (std::size_t i = 0; i < rest.size(); i += 2) {
      const int high = HexDigit(rest[i]);
      const int low = HexDigit(rest[i + 1]);
      if (high < 0 || low < 0) return false;
      preset.kept += static_cast<char>(high * 16 + low);
    }
    return !programFolder.empty();
  }
  if (!rest.empty()) preset.port = static_cast<std::int32_t>(WholeNumber(rest));
  return !programFolder.empty() && !preset.address.empty();
}
