#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/Variables.h"

// Names prefix1, prefix2, ... up to prefix<count>.
inline std::vector<std::string> NumberedNames(const std::string& prefix, int count) {
  std::vector<std::string> names;
  for (int i = 1; i <= count; ++i) names.push_back(prefix + std::to_string(i));
  return names;
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
