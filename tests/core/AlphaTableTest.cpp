#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/Messages.h"
#include "support/NameTables.h"
#include "support/Rig.h"

namespace {

using Names = std::vector<std::string>;

// Input names Mic1 and Mic2 numbered 1 and 2, written out byte by byte so that the handler meets
// bytes no builder made; 0x28 is the 7-bit sum of the data bytes.
const std::string kMicTable(
    "\xFC\x0A\x04\x02\x00\x00\x00"
    "Mic1\x01\x00"
    "Mic2\x02\x00"
    "\x28\xFF",
    21);

class AlphaTable : public ::testing::Test, protected Rig {
 protected:
  AlphaTable() {
    SetInputNames(vars, {"Inpt0001", "Inpt0002", "Inpt0003"});
    vars.ConsoleNames = {"Console 001", "Console 002"};
    vars.InfoRequestFlags = 256;
    vars.InfoRequestFlags2 = 1;
  }

  void ExpectNothingChanged() {
    EXPECT_EQ(vars.InputNames, (Names{"Inpt0001", "Inpt0002", "Inpt0003"}));
    EXPECT_EQ(vars.InputNumbers, (std::vector<std::int16_t>{1, 2, 3}));
    EXPECT_EQ(vars.InputCount, 3);
    EXPECT_EQ(vars.ConsoleNames, (Names{"Console 001", "Console 002"}));
    EXPECT_EQ(window.inputComboLoads, 0);
    EXPECT_EQ(window.consoleComboLoads, 0);
    EXPECT_EQ(vars.InfoRequestFlags, 256);
    EXPECT_EQ(vars.InfoRequestFlags2, 1);
    EXPECT_TRUE(log.reports.empty());
  }
};

TEST_F(AlphaTable, InputTableReplacesNamesNumbersAndCountAndRefillsTheSourceList) {
  comm.ProcessAlphaTable(kMicTable);

  EXPECT_EQ(vars.InputNames, (Names{"Mic1", "Mic2"}));
  EXPECT_EQ(vars.InputNumbers, (std::vector<std::int16_t>{1, 2}));
  EXPECT_EQ(vars.InputCount, 2);
  EXPECT_EQ(window.inputComboLoads, 1);
  EXPECT_EQ(window.consoleComboLoads, 0);
  EXPECT_EQ(vars.ConsoleNames, (Names{"Console 001", "Console 002"}));
  EXPECT_EQ(vars.InfoRequestFlags, 0);
  EXPECT_EQ(vars.InfoRequestFlags2, 1);
  EXPECT_TRUE(log.reports.empty());
}

TEST_F(AlphaTable, RecordsBeforeFirstLeaveEmptyNamesAndZeroNumbers) {
  comm.ProcessAlphaTable(NameTable(10, {"Mic1", "Mic2"}, /*first=*/1));

  EXPECT_EQ(vars.InputNames, (Names{"", "Mic2"}));
  EXPECT_EQ(vars.InputNumbers, (std::vector<std::int16_t>{0, 2}));
  EXPECT_EQ(vars.InputCount, 2);
}

TEST_F(AlphaTable, TableOneByteShortOrLongIsIgnoredSilently) {
  std::string body = kMicTable.substr(0, 19);
  comm.ProcessAlphaTable(msg::Framed(body.substr(0, 18)));
  comm.ProcessAlphaTable(msg::Framed(body + '\0'));

  ExpectNothingChanged();
}

TEST_F(AlphaTable, WrongChecksumIsIgnoredSilently) {
  std::string broken = kMicTable;
  broken[19] = 0x29;
  comm.ProcessAlphaTable(broken);

  ExpectNothingChanged();
}

TEST_F(AlphaTable, MessageTooShortForAHeaderIsIgnoredSilently) {
  comm.ProcessAlphaTable(std::string("\xFC\x00\xFF", 3));
  comm.ProcessAlphaTable(msg::Framed(std::string("\xFC\x0A\x04\x00\x00\x00", 6)));

  ExpectNothingChanged();
}

TEST_F(AlphaTable, TableOfAnotherTypeChangesNothingAndClearsNoRequestBit) {
  comm.ProcessAlphaTable(NameTable(20, {"Mic1", "Mic2"}));

  ExpectNothingChanged();
}

TEST_F(AlphaTable, ConsoleTableInstallsExactlyItsNamesAndClearsItsRequestBit) {
  comm.ProcessAlphaTable(NameTable(70, {"Desk1", "Desk2", "Desk3"}));

  EXPECT_EQ(vars.ConsoleNames, (Names{"Desk1", "Desk2", "Desk3"}));
  EXPECT_EQ(window.consoleComboLoads, 1);
  EXPECT_EQ(window.inputComboLoads, 0);
  EXPECT_EQ(vars.InputNames, (Names{"Inpt0001", "Inpt0002", "Inpt0003"}));
  EXPECT_EQ(vars.InputCount, 3);
  EXPECT_EQ(vars.InfoRequestFlags, 256);
  EXPECT_EQ(vars.InfoRequestFlags2, 0);
}

TEST_F(AlphaTable, ClearsOnlyItsOwnBitOfTheRequestFlags) {
  vars.InfoRequestFlags = 256 + 4;
  vars.InfoRequestFlags2 = 1 + 8;
  comm.ProcessAlphaTable(kMicTable);
  comm.ProcessAlphaTable(NameTable(70, {"Desk"}));

  EXPECT_EQ(vars.InfoRequestFlags, 4);
  EXPECT_EQ(vars.InfoRequestFlags2, 8);
}

TEST_F(AlphaTable, NamesKeepTrailingBlanksAndZeroBytes) {
  comm.ProcessAlphaTable(NameTable(10, {"AB  ", std::string("C\0D ", 4)}));

  ASSERT_EQ(vars.InputNames.size(), 2u);
  EXPECT_EQ(vars.InputNames[0], "AB  ");
  EXPECT_EQ(vars.InputNames[1], std::string("C\0D ", 4));
}

TEST_F(AlphaTable, EmptyInputTableLeavesNoNamesAndCountZero) {
  comm.ProcessAlphaTable(NameTable(10, {}));

  EXPECT_TRUE(vars.InputNames.empty());
  EXPECT_TRUE(vars.InputNumbers.empty());
  EXPECT_EQ(vars.InputCount, 0);
  EXPECT_EQ(window.inputComboLoads, 1);
  EXPECT_EQ(vars.InfoRequestFlags, 0);
}

TEST_F(AlphaTable, LargestTableDecodesItsLastRecord) {
  // 16383 names of 127 characters; the last record is numbered 16383 (7F 7F).
  const int count = 16383;
  Names names;
  for (int k = 0; k < count; ++k) names.emplace_back(127, static_cast<char>('A' + k % 26));
  const std::string message = NameTable(10, names);
  ASSERT_EQ(message.size(), 2113416u);

  comm.ProcessAlphaTable(message);

  ASSERT_EQ(vars.InputCount, count);
  ASSERT_EQ(vars.InputNames.size(), static_cast<std::size_t>(count));
  EXPECT_EQ(vars.InputNames.back(), std::string(127, static_cast<char>('A' + (count - 1) % 26)));
  EXPECT_EQ(vars.InputNumbers.back(), 16383);
  EXPECT_TRUE(log.reports.empty());
}

}  // namespace
