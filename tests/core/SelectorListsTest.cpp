#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/SelectorLists.h"
#include "app/Variables.h"
#include "setup/Failure.h"
#include "support/FailureCode.h"
#include "support/NameTables.h"

namespace {

using Entries = std::vector<std::string>;

// Every entry the list shows, as the window draws them.
Entries Shown(const SelectorList& list) {
  Entries entries;
  for (int row = 0; row < list.Count(); ++row) entries.push_back(list.Entry(row));
  return entries;
}

TEST(SourceList, HoldsUndefinedThenInputCountNamesWithTheirFourDigitNumbers) {
  Variables vars;
  vars.InputNames = {"AB  ", "Studio B", "unused"};
  vars.InputCount = 2;
  vars.SelectedSource = 2;

  const SelectorList list = SelectorList::Source(vars);

  // Trailing blanks of a name are the server's and stay.
  EXPECT_EQ(Shown(list), (Entries{"Undefined", "AB   [0001]", "Studio B [0002]"}));
  EXPECT_EQ(list.Position(), 2);
}

TEST(SourceList, NumbersOfFiveDigitsArePrintedWhole) {
  Variables vars;
  SetInputNames(vars, NumberedNames("In", 16383));
  vars.SelectedSource = 10000;

  const SelectorList list = SelectorList::Source(vars);

  ASSERT_EQ(list.Count(), 16384);
  EXPECT_EQ(list.Entry(9999), "In9999 [9999]");
  EXPECT_EQ(list.Entry(10000), "In10000 [10000]");
  EXPECT_EQ(list.Entry(16383), "In16383 [16383]");
  EXPECT_EQ(list.Position(), 10000);
}

TEST(SourceList, StoredZeroOrUndefinedSelectsUndefinedAndANumberBeyondTheListFails) {
  Variables vars;
  SetInputNames(vars, NumberedNames("Mic", 40));
  for (std::int16_t stored : {std::int16_t{0}, UndefinedSelection}) {
    vars.SelectedSource = stored;
    EXPECT_EQ(SelectorList::Source(vars).Position(), 0) << stored;
  }
  for (std::int16_t stored : {41, 300, -1}) {
    vars.SelectedSource = stored;
    EXPECT_THROW(SelectorList::Source(vars).Position(), Failure) << stored;
    EXPECT_EQ(SelectorList::Source(vars).Count(), 41) << stored;
  }

  // An empty table shows "Undefined" alone, which only 16383 or 0 can select.
  vars.InputCount = 0;
  EXPECT_EQ(Shown(SelectorList::Source(vars)), (Entries{"Undefined"}));
  vars.SelectedSource = 1;
  EXPECT_THROW(SelectorList::Source(vars).Position(), Failure);
}

TEST(ConsoleList, AlwaysAsksFor256ConsolesWithThreeDigitNumbers) {
  Variables vars;
  vars.ConsoleNames = NumberedNames("Console ", 256);
  vars.ConsoleNames[11] = "Desk 2";
  vars.SelectedConsole = 256;

  const SelectorList full = SelectorList::Console(vars);
  ASSERT_EQ(full.Count(), 257);
  EXPECT_EQ(full.Entry(12), "Desk 2 [012]");
  EXPECT_EQ(full.Entry(256), "Console 256 [256]");
  EXPECT_EQ(full.Position(), 256);

  // Fewer names: the list stops at the first missing one, and nothing can be selected.
  vars.ConsoleNames = {"Desk 1", "Desk 2"};
  vars.SelectedConsole = 1;
  const SelectorList shorter = SelectorList::Console(vars);
  EXPECT_EQ(Shown(shorter), (Entries{"Undefined", "Desk 1 [001]", "Desk 2 [002]"}));
  EXPECT_EQ(FailureCodeOf([&] { (void)shorter.Position(); }), kOutOfRange);
}

TEST(ListPosition, UndefinedStandsFor16383AndEveryOtherPositionForItself) {
  EXPECT_EQ(SelectionFromPosition(0), UndefinedSelection);
  EXPECT_EQ(SelectionFromPosition(1), 1);
  EXPECT_EQ(SelectionFromPosition(16382), 16382);
}

}  // namespace
