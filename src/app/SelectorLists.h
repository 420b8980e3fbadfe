#pragma once

#include <cstddef>
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

// One list as the window shows it, with each entry's text built only when it is asked for:
// a full input table is 16,383 entries and the operator sees a dozen of them at a time. It
// reads the name table it was made from, so it is shown again whenever that table is replaced.
class SelectorList {
 public:
  static SelectorList Source(const Variables& vars);
  static SelectorList Console(const Variables& vars);

  // "Undefined" plus one entry per name, up to the first missing name.
  int Count() const;
  std::string Entry(int row) const;
  // The entry that re-selects the stored number. Throws a Failure when a name is missing or
  // when the stored number has no entry.
  int Position() const;

 private:
  SelectorList(const std::vector<std::string>& names, int count, std::size_t minDigits,
               std::int16_t stored)
      : names_(&names), count_(count), minDigits_(minDigits), stored_(stored) {}

  const std::vector<std::string>* names_;
  int count_;  // entries the list asks for after "Undefined"
  std::size_t minDigits_;
  std::int16_t stored_;
};

void BuildSourceList(const Variables& vars, ListContents& out);
void BuildConsoleList(const Variables& vars, ListContents& out);

// The number a list position stands for: 0 ("Undefined") is UndefinedSelection, k is k.
std::int16_t SelectionFromPosition(int position);
