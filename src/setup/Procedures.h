#pragma once

#include <string>

#include "app/PanelWindow.h"
#include "app/Variables.h"
#include "setup/ErrorReporter.h"

inline constexpr const char* kIniFileName = "qevntpnl.ini";
inline constexpr const char* kErrorLogName = "Errorlog.txt";

// Start-up values of every setting and the default name tables; stops the poll timer.
// Records its own failures. programFolder is where the executable lives.
void ProgramSetup(Variables& vars, PanelWindow& window, ErrorReporter& log,
                  const std::string& programFolder);

// Reads AppFolder + "qevntpnl.ini". False when there is no file (nothing changed); true after
// reading it, re-timing the poll timer and applying the window order. A failure while reading
// is thrown to the caller (a Failure), with the settings stored before it kept.
bool ReadIniFile(Variables& vars, PanelWindow& window);

// Writes all settings, replacing the file atomically and durably. False after a failure,
// which has been recorded; the old file is then still whole.
bool WriteIniFile(const Variables& vars, ErrorReporter& log);
