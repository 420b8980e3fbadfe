#include "setup/InstallerPreset.h"

#include <filesystem>
#include <system_error>

#include "app/Variables.h"
#include "protocol/LinkTimers.h"
#include "setup/AddressCheck.h"
#include "setup/FilePath.h"
#include "setup/NumberText.h"
#include "setup/Procedures.h"

namespace {

// The ports the Setup dialog takes.
constexpr double kLowestPort = 1;
constexpr double kHighestPort = 65535;

// The installer has no poll timer to set up.
class NoTimers : public LinkTimers {
 public:
  void SetPollTimerEnabled(bool) override {}
  void SetPollTimerInterval(std::int32_t) override {}
  void EnableDecodeTimer() override {}
};

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
    if (value < kLowestPort || value > kHighestPort) {
      return Refused("SERVERPORT=\"" + port +
                     "\" refused: Invalid IP Port #. Please reenter a number between 1 and 65535");
    }
    preset.port = static_cast<std::int32_t>(RoundHalfEven(value));
  }
  return preset;
}

bool WriteInstallerPreset(const std::string& programFolder, const InstallerPreset& preset,
                          ErrorReporter& log) {
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
  std::filesystem::remove(FilePath(WithFolderSeparator(programFolder) + kIniFileName), error);
  return !error;
}

std::string InstallerPresetData(const std::string& programFolder, const InstallerPreset& preset) {
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
  const std::string port = data.substr(second + 1);
  if (!port.empty()) preset.port = static_cast<std::int32_t>(WholeNumber(port));
  return !programFolder.empty() && !preset.address.empty();
}
