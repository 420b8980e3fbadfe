#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/Variables.h"
#include "protocol/Messages.h"

// `count` names, the prefix and a number each, the numbers counting up from `first`.
inline std::vector<std::string> NumberedNames(const std::string& prefix, int count, int first = 1) {
  std::vector<std::string> names;
  for (int i = first; i < first + count; ++i) names.push_back(prefix + std::to_string(i));
  return names;
}

// The alpha table message of the given names (input or console names by `type`), all as long as
// the first (4 when there are none), numbered 1, 2, ... from record `first`.
inline std::string NameTable(unsigned char type, const std::vector<std::string>& names,
                             std::int32_t first = 0) {
  const auto length = static_cast<std::int32_t>(names.empty() ? 4 : names[0].size());
  return msg::AlphaTable(type, length, names, first);
}

// Gives the panel an input table as an alpha table installs one: the names, numbered 1, 2, ...
// in order, and their count.
inline void SetInputNames(Variables& vars, const std::vector<std::string>& names) {
  vars.InputNames = names;
  vars.InputNumbers.clear();
  for (std::size_t i = 1; i <= names.size(); ++i) {
    vars.InputNumbers.push_back(static_cast<std::int16_t>(i));
  }
  vars.InputCount = static_cast<std::int16_t>(names.size());
}
