#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/Variables.h"

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
  // What the closed list shows while it has no entry selected, so that the number the buttons
  // act on is always on screen: "Undefined" for 16383; the stored number's entry when the
  // shown list has it (a refill that stopped at a missing name); otherwise the number in the
  // list's format, "[0041]", with " not listed" once the server's list is shown
  // (rowsShown above 0).
  std::string UnselectedFace(int rowsShown) const;

 private:
  SelectorList(const std::vector<std::string>& names, int count, std::size_t minDigits,
               std::int16_t stored)
      : names_(&names), count_(count), minDigits_(minDigits), stored_(stored) {}

  const std::vector<std::string>* names_;
  int count_;  // entries the list asks for after "Undefined"
  std::size_t minDigits_;
  std::int16_t stored_;
};

// The number a list position stands for: 0 ("Undefined") is UndefinedSelection, k is k.
std::int16_t SelectionFromPosition(int position);
