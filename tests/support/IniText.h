#pragma once

#include <cstdint>
#include <string>

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
};

// The configuration file as the panel writes it: thirteen lines, each ended by CR LF.
std::string IniText(const IniSettings& settings);
