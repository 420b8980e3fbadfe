#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/SelectorLists.h"
#include "app/Variables.h"
#include "setup/Failure.h"

namespace {

using Entries = std::vector<std::string>;

std::vector<std::string> NumberedNames(const std::string& prefix, int count) {
  std::vector<std::string> names;
  for (int i = 1; i <= count; ++i) names.push_back(prefix + std::to_string(i));
  return names;
}

TEST(SourceList, HoldsUndefinedThenEachNameWithItsFourDigitNumber) {
  Variables vars;
  vars.InputNames = {"A", "B", "C"};
  vars.InputCount = 3;
  vars.SelectedSource = 2;
  ListContents list;

  BuildSourceList(vars, list);

  EXPECT_EQ(list.entries, (Entries{"Undefined", "A [0001]", "B [0002]", "C [0003]"}));
  EXPECT_EQ(list.position, 2);
}

TEST(SourceList, ReadsOnlyInputCountNamesAndKeepsTrailingBlanks) {
  Variables vars;
  vars.InputNames = {"AB  ", "Studio B", "unused"};
  vars.InputCount = 2;
  vars.SelectedSource = UndefinedSelection;
  ListContents list;

  BuildSourceList(vars, list);

  EXPECT_EQ(list.entries, (Entries{"Undefined", "AB   [0001]", "Studio B [0002]"}));
  EXPECT_EQ(list.position, 0);
}

TEST(SourceList, NumbersOfFiveDigitsArePrintedWhole) {
  Variables vars;
  vars.InputNames = NumberedNames("In", 16383);
  vars.InputCount = 16383;
  vars.SelectedSource = 10000;
  ListContents list;

  BuildSourceList(vars, list);

  ASSERT_EQ(list.entries.size(), 16384u);
  EXPECT_EQ(list.entries[7], "In7 [0007]");
  EXPECT_EQ(list.entries[9999], "In9999 [9999]");
  EXPECT_EQ(list.entries[10000], "In10000 [10000]");
  EXPECT_EQ(list.entries[16383], "In16383 [16383]");
  EXPECT_EQ(list.position, 10000);
}

TEST(SourceList, RefillReplacesTheEarlierContents) {
  Variables vars;
  vars.InputNames = {"A", "B", "C"};
  vars.InputCount = 3;
  ListContents list;
  BuildSourceList(vars, list);

  vars.InputNames = {"X"};
  vars.InputCount = 1;
  BuildSourceList(vars, list);

  EXPECT_EQ(list.entries, (Entries{"Undefined", "X [0001]"}));
  EXPECT_EQ(list.position, 1);
}

TEST(SourceList, EmptyTableGivesOnlyUndefined) {
  Variables vars;
  vars.InputCount = 0;
  vars.SelectedSource = UndefinedSelection;
  ListContents list;

  BuildSourceList(vars, list);

  EXPECT_EQ(list.entries, (Entries{"Undefined"}));
  EXPECT_EQ(list.position, 0);

  vars.SelectedSource = 1;
  EXPECT_THROW(BuildSourceList(vars, list), Failure);
  EXPECT_EQ(list.entries, (Entries{"Undefined"}));
  EXPECT_EQ(list.position, -1);
}

TEST(SourceList, StoredZeroSelectsUndefined) {
  Variables vars;
  vars.InputNames = {"A"};
  vars.InputCount = 1;
  vars.SelectedSource = 0;
  ListContents list;

  BuildSourceList(vars, list);

  EXPECT_EQ(list.position, 0);
  EXPECT_EQ(SelectionFromPosition(list.position), UndefinedSelection);
}

TEST(SourceList, StoredNumberBeyondTheListFailsWithNothingSelected) {
  Variables vars;
  vars.InputNames = NumberedNames("Mic", 40);
  vars.InputCount = 40;
  ListContents list;

  for (std::int16_t stored : {41, 300, -1}) {
    vars.SelectedSource = stored;
    EXPECT_THROW(BuildSourceList(vars, list), Failure) << stored;
    EXPECT_EQ(list.entries.size(), 41u) << stored;
    EXPECT_EQ(list.position, -1) << stored;
  }
}

TEST(ConsoleList, AlwaysHas256ConsolesWithThreeDigitNumbers) {
  Variables vars;
  vars.ConsoleNames = NumberedNames("Console ", 256);
  vars.ConsoleNames[11] = "Desk 2";
  vars.SelectedConsole = 256;
  ListContents list;

  BuildConsoleList(vars, list);

  ASSERT_EQ(list.entries.size(), 257u);
  EXPECT_EQ(list.entries[0], "Undefined");
  EXPECT_EQ(list.entries[12], "Desk 2 [012]");
  EXPECT_EQ(list.entries[256], "Console 256 [256]");
  EXPECT_EQ(list.position, 256);
}

TEST(ConsoleList, FewerThan256NamesStopsAtTheFirstMissingOneWithNothingSelected) {
  Variables vars;
  vars.ConsoleNames = {"Desk 1", "Desk 2"};
  vars.SelectedConsole = 1;
  ListContents list;

  try {
    BuildConsoleList(vars, list);
    FAIL() << "a missing console name must fail";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.Code(), kOutOfRange);
  }
  EXPECT_EQ(list.entries, (Entries{"Undefined", "Desk 1 [001]", "Desk 2 [002]"}));
  EXPECT_EQ(list.position, -1);
}

TEST(ListPosition, UndefinedStandsFor16383AndEveryOtherPositionForItself) {
  EXPECT_EQ(SelectionFromPosition(0), UndefinedSelection);
  EXPECT_EQ(SelectionFromPosition(1), 1);
  EXPECT_EQ(SelectionFromPosition(256), 256);
  EXPECT_EQ(SelectionFromPosition(16382), 16382);
}

}  // namespace
