#pragma once

#include <string>
#include <vector>

#include "app/Variables.h"

// Names prefix1, prefix2, ... up to prefix<count>.
std::vector<std::string> NumberedNames(const std::string& prefix, int count);

// Gives the panel an input table as an alpha table installs one: the names, numbered 1, 2, ...
// in order, and their count.
void SetInputNames(Variables& vars, const std::vector<std::string>& names);
