#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "app/Variables.h"

// The settings of a configuration file, by default the ones the panel starts with.
struct IniSettings {
  std::string address = "";
  std::int32_t port = 1250;
  std::int32_t input = 1;
  std::int32_t console = 0;
  std::string stayOnTop = "Yes";
  std::int32_t refreshRate = 1;
  std::int32_t timeOut = 20;
  std::string userName = "";
  std::string password = "";  // as stored: scrambled

  bool operator==(const IniSettings&) const = default;
};

// The configuration file as the panel writes it: thirteen lines, each ended by CR LF.
std::string IniText(const IniSettings& settings);

// The Server Module on this machine at `port`, source 3 on console 5 chosen, the panel an
// ordinary window.
IniSettings LoopbackSettings(std::int32_t port);

// The settings the panel holds, and the other way round. The password is left out: the file
// holds it scrambled, the panel in plain text.
IniSettings SettingsOf(const Variables& vars);
void Apply(const IniSettings& settings, Variables& vars);

inline void PrintTo(const IniSettings& settings, std::ostream* out) {
  *out << IniText(settings);
}
