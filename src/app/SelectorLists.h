#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/Variables.h"

// The contents of the Source and Console lists, built from the shared name tables. The window
// fills a list from `entries` in one batch and then selects `position`.
//
// Building throws a Failure when a name is missing (the table holds fewer names than the list
// needs) or when the stored number has no position in the list; `entries` then holds what was
// built up to that point, and nothing is to be selected.
struct ListContents {
  std::vector<std::string> entries;  // "Undefined", then "name [0007]" ...
  int position = -1;                 // entry to select
};

void BuildSourceList(const Variables& vars, ListContents& out);
void BuildConsoleList(const Variables& vars, ListContents& out);

// The number a list position stands for: 0 ("Undefined") is UndefinedSelection, k is k.
std::int16_t SelectionFromPosition(int position);
