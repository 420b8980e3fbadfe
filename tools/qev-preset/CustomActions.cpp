// The Windows Installer's custom actions for the administrator's preset, in a DLL that the
// package carries and runs but never installs. Every message goes to the install log, where
// an administrator deploying to many desks looks when a desk did not get its preset.
//
//   CheckPreset (immediate, before anything is changed): takes SERVERADDRESS and SERVERPORT,
//     refuses what Setup would refuse, and hands the checked preset to WritePreset; without
//     them it hands over the machine's preset, if there is one, so an upgrade keeps it.
//   WritePreset (deferred, as the system): writes qevntpnl.ini beside the installed program.
//   RemovePreset (deferred, on uninstall but not on an upgrade): takes it away again.

#include <windows.h>
// windows.h first: the installer's headers build on its types.
#include <msi.h>
#include <msiquery.h>

#include <exception>
#include <filesystem>
#include <string>
#include <string_view>

#include "setup/Failure.h"
#include "setup/FilePath.h"
#include "setup/InstallerPreset.h"

namespace {

std::wstring Wide(const std::string& utf8) {
  return FilePath(utf8).native();
}

std::string Property(MSIHANDLE install, const wchar_t* name) {
  wchar_t none[1] = L"";
  DWORD size = 0;
  if (MsiGetPropertyW(install, name, none, &size) != ERROR_MORE_DATA) return {};
  std::wstring value(size + 1, L'\0');
  size += 1;
  if (MsiGetPropertyW(install, name, value.data(), &size) != ERROR_SUCCESS) return {};
  value.resize(size);
  return Utf8Text(std::filesystem::path(value));
}

// One line in the install log; an error is also shown by an install that has a window. The
// text goes in as a field, not as the template, so brackets in what the administrator typed
// are never read as property names.
void Say(MSIHANDLE install, const std::string& text, bool error = false) {
  const MSIHANDLE record = MsiCreateRecord(1);
  MsiRecordSetStringW(record, 0, L"qevpreset: [1]");
  MsiRecordSetStringW(record, 1, Wide(text).c_str());
  MsiProcessMessage(install,
                    error ? static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR)
                          : INSTALLMESSAGE_INFO,
                    record);
  MsiCloseHandle(record);
}

// Writing the file reports its failures as the panel does; here they go to the install log.
class InstallLog : public ErrorReporter {
 public:
  explicit InstallLog(MSIHANDLE install) : install_(install) {}
  void ReportError(std::string_view message, std::string_view location) override {
    std::string why;
    try {
      throw;
    } catch (const Failure& failure) {
      why = failure.Description();
    } catch (const std::exception& failure) {
      why = failure.what();
    } catch (...) {
      why = "unknown failure";
    }
    Say(install_, std::string(location) + ": " + std::string(message) + " (" + why + ")", true);
  }

 private:
  MSIHANDLE install_;
};

}  // namespace

// The entry points the package's CustomAction table names.
extern "C" {
__declspec(dllexport) UINT __stdcall CheckPreset(MSIHANDLE install);
__declspec(dllexport) UINT __stdcall WritePreset(MSIHANDLE install);
__declspec(dllexport) UINT __stdcall RemovePreset(MSIHANDLE install);
}

extern "C" __declspec(dllexport) UINT __stdcall CheckPreset(MSIHANDLE install) {
  InstallerPreset preset =
      CheckInstallerPreset(Property(install, L"SERVERADDRESS"), Property(install, L"SERVERPORT"));
  const std::string folder = Property(install, L"INSTALLDIR");
  KeepMachinePreset(folder, preset);
  switch (preset.outcome) {
    case InstallerPreset::Outcome::None:
      Say(install, "no SERVERADDRESS given: no preset; each user's first run asks for the server");
      MsiSetPropertyW(install, L"WritePreset", L"");
      return ERROR_SUCCESS;
    case InstallerPreset::Outcome::Refused:
      Say(install, preset.reason, true);
      return ERROR_INSTALL_FAILURE;
    case InstallerPreset::Outcome::Keep:
      Say(install, "no SERVERADDRESS given: keeping this machine's preset " + folder +
                       "qevntpnl.ini as it is");
      MsiSetPropertyW(install, L"WritePreset", Wide(InstallerPresetData(folder, preset)).c_str());
      return ERROR_SUCCESS;
    case InstallerPreset::Outcome::Write:
      break;
  }
  Say(install, "preset for the Server Module at " + preset.address + ", " +
                   (preset.port ? "port " + std::to_string(*preset.port)
                                : std::string("the start-up port")) +
                   ", to be written to " + folder + "qevntpnl.ini");
  MsiSetPropertyW(install, L"WritePreset", Wide(InstallerPresetData(folder, preset)).c_str());
  return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT __stdcall WritePreset(MSIHANDLE install) {
  std::string folder;
  InstallerPreset preset;
  if (!ParseInstallerPresetData(Property(install, L"CustomActionData"), folder, preset)) {
    Say(install, "no checked preset was handed over", true);
    return ERROR_INSTALL_FAILURE;
  }
  InstallLog log(install);
  if (!WriteInstallerPreset(folder, preset, log)) return ERROR_INSTALL_FAILURE;
  if (preset.outcome == InstallerPreset::Outcome::Keep) {
    Say(install, "kept the preset " + folder + "qevntpnl.ini");
  } else {
    Say(install, "wrote the preset " + folder + "qevntpnl.ini: IP Address=" + preset.address);
  }
  return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT __stdcall RemovePreset(MSIHANDLE install) {
  const std::string folder = Property(install, L"CustomActionData");
  if (folder.empty()) return ERROR_SUCCESS;
  // A preset that stays keeps the program folder too; the uninstall itself still succeeds.
  if (!RemoveInstallerPreset(folder)) {
    Say(install, "could not remove the preset " + folder + "qevntpnl.ini", true);
  } else {
    Say(install, "removed the preset " + folder + "qevntpnl.ini, if there was one");
  }
  return ERROR_SUCCESS;
}
