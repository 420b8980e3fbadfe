#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/ReceiveBuffer.h"
#include "setup/Settings.h"

// The program-wide state of the panel: one instance, created by the main window and handed to
// every unit that reads or writes it. Flags are 16-bit with true = -1 and false = 0, and are
// compared with exactly one or the other: the dispatcher shows the link up only while
// SwitcherConnected is exactly 0 and down only while it is exactly -1, so a flag holding any
// other value would make it ignore both poll answers.

using Flag16 = std::int16_t;
inline constexpr Flag16 kTrue = -1;
inline constexpr Flag16 kFalse = 0;

// "No source" / "no console": the lists' "Undefined" entry, sent on the wire unchanged.
inline constexpr std::int16_t UndefinedSelection = 16383;

// Window order values, as the platform's z-order call takes them.
inline constexpr std::int32_t kTopmost = -1;
inline constexpr std::int32_t kNotTopmost = -2;

struct Variables {
  // Folder of qevntpnl.ini and Errorlog.txt, ending in the platform's separator: the program
  // folder, or the user's own settings folder for an installed copy.
  std::string AppFolder;
  // Set only for an installed copy: the program folder, whose qevntpnl.ini is a preset read
  // while AppFolder holds none, and never written.
  std::string PresetFolder;
  // Why AppFolder's qevntpnl.ini could not be read at start (another user's file, one another
  // program held), or empty: the first save then keeps that file aside instead of losing it.
  std::string UnreadableIni;
  std::string ServerAddress;
  // The settings' start-up values, as ProgramSetup gives them again.
  std::int32_t ServerPort = settings::kIPPort.startUp;
  std::int16_t SelectedSource = static_cast<std::int16_t>(settings::kInput.startUp);
  std::int16_t SelectedConsole = static_cast<std::int16_t>(settings::kConsole.startUp);
  std::int32_t StayOnTopMode = settings::kStayOnTop.startUp != 0 ? kTopmost : kNotTopmost;
  std::int16_t RefreshRate = static_cast<std::int16_t>(settings::kRefreshRate.startUp);
  std::int16_t TimeOut = static_cast<std::int16_t>(settings::kTimeOut.startUp);
  // Poll timer period in ms and ticks between polls: RefreshRate x 20. Held in 32 bits so
  // every Refresh Rate the file admits (up to 32500) gives a period without overflow.
  std::int32_t PollInterval = settings::PollIntervalFor(RefreshRate);
  std::string UserName;
  std::string Password;

  std::int16_t InputCount = 256;
  std::vector<std::string> InputNames;
  std::vector<std::int16_t> InputNumbers;
  std::vector<std::string> ConsoleNames;

  Flag16 CueActive = kFalse;
  ::ReceiveBuffer ReceiveBuffer;  // the type, qualified: the member shares its name
  Flag16 SocketConnected = kFalse;
  Flag16 SwitcherConnected = kFalse;
  std::int16_t PollsOutstanding = 0;
  std::int16_t PollTicks = 0;
  std::int32_t InfoRequestFlags = 0;
  std::int32_t InfoRequestFlags2 = 0;
  std::int16_t SwitcherType = 0;
};
