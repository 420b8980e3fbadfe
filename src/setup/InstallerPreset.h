#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "setup/ErrorReporter.h"

// The administrator's preset that a machine-wide install leaves beside the program: the
// Server Module's address and port, given to the installer as SERVERADDRESS and SERVERPORT and
// checked as the Setup dialog checks what an operator types, so no desk is handed a file that
// Setup itself would have refused.
struct InstallerPreset {
  enum class Outcome {
    None,     // neither given: no preset, the first run asks as usual
    Write,    // write this preset
    Refused,  // not an address or port Setup accepts; `reason` says why
    Keep,     // neither given, and the machine has a preset: put `kept` back after an upgrade
  };
  Outcome outcome = Outcome::None;
  std::string address;               // as Setup repairs it: 010.001.1.1 becomes 10.1.1.1
  std::optional<std::int32_t> port;  // none: the start-up port
  std::string reason;
  std::string kept;  // the machine's preset, byte for byte
};

// The installer's two property values, as typed by the administrator (empty when not given).
InstallerPreset CheckInstallerPreset(const std::string& address, const std::string& port);

// An install without the properties over a machine that has a preset keeps that preset: an
// upgrade takes the older version away, and with it, on some systems, the preset it wrote.
// Reads the program folder's preset, if there is one, into a Keep outcome.
void KeepMachinePreset(const std::string& programFolder, InstallerPreset& preset);

// Writes the preset into the program folder (UTF-8) as the panel's own configuration file:
// the address and port, and every other setting at its start-up value; or puts a kept preset
// back as it was. False after a failure, which has been recorded.
bool WriteInstallerPreset(const std::string& programFolder, const InstallerPreset& preset,
                          ErrorReporter& log);

// Takes the preset out of the program folder. False only when one is still there.
bool RemoveInstallerPreset(const std::string& programFolder);

// The checked preset and the program folder as one text, for the installer to hand from the
// check to the step that writes the file, and back. Windows forbids "|" in a folder name.
std::string InstallerPresetData(const std::string& programFolder, const InstallerPreset& preset);
bool ParseInstallerPresetData(const std::string& data, std::string& programFolder,
                              InstallerPreset& preset);
