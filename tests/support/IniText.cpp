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

IniSettings LoopbackSettings(std::int32_t port) {
  return {.address = "127.0.0.1", .port = port, .input = 3, .console = 5, .stayOnTop = "No"};
}

IniSettings SettingsOf(const Variables& vars) {
  return {.address = vars.ServerAddress,
          .port = vars.ServerPort,
          .input = vars.SelectedSource,
          .console = vars.SelectedConsole,
          .stayOnTop = vars.StayOnTopMode == kTopmost ? "Yes" : "No",
          .refreshRate = vars.RefreshRate,
          .timeOut = vars.TimeOut,
          .userName = vars.UserName};
}

void Apply(const IniSettings& settings, Variables& vars) {
  vars.ServerAddress = settings.address;
  vars.ServerPort = settings.port;
  vars.SelectedSource = static_cast<std::int16_t>(settings.input);
  vars.SelectedConsole = static_cast<std::int16_t>(settings.console);
  vars.StayOnTopMode = settings.stayOnTop == "Yes" ? kTopmost : kNotTopmost;
  vars.RefreshRate = static_cast<std::int16_t>(settings.refreshRate);
  vars.TimeOut = static_cast<std::int16_t>(settings.timeOut);
  vars.UserName = settings.userName;
}
