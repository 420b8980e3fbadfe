#include "support/IniText.h"

std::string IniText(const IniSettings& s) {
  std::string text;
  for (const std::string& line :
       {std::string("[CONFIGURATION]"), std::string("SETUP"), "IP Address=" + s.address,
        "IP Port=" + std::to_string(s.port), std::string("CONFIG"),
        "Input=" + std::to_string(s.input), "Console=" + std::to_string(s.console),
        "Stay On Top=" + s.stayOnTop, "Refresh Rate=" + std::to_string(s.refreshRate),
        "Time Out=" + std::to_string(s.timeOut), std::string("SECURITY"), "User Name=" + s.userName,
        "Password=" + s.password}) {
    text += line + "\r\n";
  }
  return text;
}
