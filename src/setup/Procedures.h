#pragma once

#include <functional>
#include <string>

#include "app/PanelWindow.h"
#include "app/Variables.h"
#include "protocol/LinkTimers.h"
#include "setup/ErrorReporter.h"

inline constexpr const char* kIniFileName = "qevntpnl.ini";
inline constexpr const char* kErrorLogName = "Errorlog.txt";

// Whether the panel may create and replace files in the folder (as the running user). Every
// folder here, as everywhere in the panel, is UTF-8 text.
bool FolderIsWritable(const std::string& folder);

// The folder an install puts the program in or below: fixed when the panel is built, and on
// Windows the Program Files folder, wherever in it the installer was pointed.
std::string InstalledProgramFolder();

// The folders the panel's files may live in. A copy that runs from a folder it may write
// keeps them beside itself. An installed copy (in or below the install folder, or in a folder it
// may not write) keeps them in the user's own settings folder, and reads the program folder's
// qevntpnl.ini, if there is one, as the administrator's preset.
struct ProgramFolders {
  std::string program = {};       // where the executable lives
  std::string userSettings = {};  // the user's own settings folder for the panel (absolute)
  std::string installedProgram = InstalledProgramFolder();
  std::function<bool(const std::string& folder)> isWritable = FolderIsWritable;
};

// The folder the configuration file and the error log live in for these folders: beside the
// program, or the user's own settings folder for an installed copy. Creates nothing.
std::string SettingsFolder(const ProgramFolders& folders);

// Start-up values of every setting and the default name tables; stops the poll timer.
// Records its own failures. Decides AppFolder (and PresetFolder) from the folders, creating
// the user's settings folder when it is needed; one that cannot be made is said on standard
// error, since the error log would have to go there too.
void ProgramSetup(Variables& vars, LinkTimers& timers, ErrorReporter& log,
                  const ProgramFolders& folders);

// Reads AppFolder + "qevntpnl.ini", or the preset in PresetFolder when AppFolder has none.
// False when there is neither (nothing changed); true after
// reading it, re-timing the poll timer and applying the window order. A failure while reading
// is thrown to the caller (a Failure), with the settings stored before it kept; when AppFolder's
// file could not be read at all, UnreadableIni says why. A file with a UTF-8 or UTF-16
// byte-order mark is read as the text it holds.
bool ReadIniFile(Variables& vars, PanelWindow& window, LinkTimers& timers);

// Writes all settings to AppFolder, replacing the file atomically and durably, with the
// permissions it had (a new one in the user's own folder is readable by its owner only). A file
// that ReadIniFile could not read (UnreadableIni) is first kept aside as
// "qevntpnl.ini.unreadable", and the log says so. False after a failure, which has been
// recorded; the old file is then still whole.
bool WriteIniFile(Variables& vars, ErrorReporter& log);

// Replaces the configuration file in folder (ending in a separator) by content, the way
// WriteIniFile does: through a new file of its own beside it, flushed, renamed over the old one,
// with the old one's permissions. Throws a Failure; the old file is then still whole.
void ReplaceIniFile(const std::string& folder, const std::string& content);
