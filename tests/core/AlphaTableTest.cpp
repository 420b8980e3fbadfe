#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/NameTables.h"
#include "support/Rig.h"

namespace {

using Names = std::vector<std::string>;

// A framed message from its command and data bytes: the 7-bit sum of the data, then FF.
std::string Framed(const std::string& commandAndData) {
  unsigned sum = 0;
  for (std::size_t i = 1; i < commandAndData.size(); ++i) {
    sum += static_cast<unsigned char>(commandAndData[i]);
  }
  return commandAndData + static_cast<char>(sum & 0x7F) + '\xFF';
}

// An alpha table of equal-length names numbered 1, 2, ... (numbers below 128).
std::string Table(char type, const Names& names, char first = 0) {
  const char length = static_cast<char>(names.empty() ? 4 : names[0].size());
  std::string body{'\xFC',
                   type,
                   length,
                   static_cast<char>(names.size() & 0x7F),
                   static_cast<char>(names.size() >> 7),
                   first,
                   0};
  for (std::size_t k = 0; k < names.size(); ++k) {
    body += names[k];
    body += static_cast<char>(k + 1);
    body += '\0';
  }
  return Framed(body);
}

// The worked example: input names Mic1 and Mic2 numbered 1 and 2, checksum 0x28.
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
  comm.ProcessAlphaTable(Table(10, {"Mic1", "Mic2"}, /*first=*/1));

  EXPECT_EQ(vars.InputNames, (Names{"", "Mic2"}));
  EXPECT_EQ(vars.InputNumbers, (std::vector<std::int16_t>{0, 2}));
  EXPECT_EQ(vars.InputCount, 2);
}

TEST_F(AlphaTable, TableOneByteShortOrLongIsIgnoredSilently) {
  std::string body = kMicTable.substr(0, 19);
  comm.ProcessAlphaTable(Framed(body.substr(0, 18)));
  comm.ProcessAlphaTable(Framed(body + '\0'));

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
  comm.ProcessAlphaTable(Framed(std::string("\xFC\x0A\x04\x00\x00\x00", 6)));

  ExpectNothingChanged();
}

TEST_F(AlphaTable, TableOfAnotherTypeChangesNothingAndClearsNoRequestBit) {
  comm.ProcessAlphaTable(Table(20, {"Mic1", "Mic2"}));

  ExpectNothingChanged();
}

TEST_F(AlphaTable, ConsoleTableInstallsExactlyItsNamesAndClearsItsRequestBit) {
  comm.ProcessAlphaTable(Table(70, {"Desk1", "Desk2", "Desk3"}));

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
  comm.ProcessAlphaTable(Table(70, {"Desk"}));

  EXPECT_EQ(vars.InfoRequestFlags, 4);
  EXPECT_EQ(vars.InfoRequestFlags2, 8);
}

TEST_F(AlphaTable, NamesKeepTrailingBlanksAndZeroBytes) {
  comm.ProcessAlphaTable(Table(10, {"AB  ", std::string("C\0D ", 4)}));

  ASSERT_EQ(vars.InputNames.size(), 2u);
  EXPECT_EQ(vars.InputNames[0], "AB  ");
  EXPECT_EQ(vars.InputNames[1], std::string("C\0D ", 4));
}

TEST_F(AlphaTable, EmptyInputTableLeavesNoNamesAndCountZero) {
  comm.ProcessAlphaTable(Table(10, {}));

  EXPECT_TRUE(vars.InputNames.empty());
  EXPECT_TRUE(vars.InputNumbers.empty());
  EXPECT_EQ(vars.InputCount, 0);
  EXPECT_EQ(window.inputComboLoads, 1);
  EXPECT_EQ(vars.InfoRequestFlags, 0);
}

TEST_F(AlphaTable, LargestTableDecodesItsLastRecord) {
  // 16383 names of 127 characters, each record numbered 16383 (7F 7F).
  const int count = 16383;
  std::string body{'\xFC', 10, 127, 0x7F, 0x7F, 0, 0};
  for (int k = 0; k < count; ++k) {
    body.append(127, static_cast<char>('A' + k % 26));
    body += "\x7F\x7F";
  }
  const std::string message = Framed(body);
  ASSERT_EQ(message.size(), 2113416u);

  comm.ProcessAlphaTable(message);

  ASSERT_EQ(vars.InputCount, count);
  ASSERT_EQ(vars.InputNames.size(), static_cast<std::size_t>(count));
  EXPECT_EQ(vars.InputNames.back(), std::string(127, static_cast<char>('A' + (count - 1) % 26)));
  EXPECT_EQ(vars.InputNumbers.back(), 16383);
  EXPECT_TRUE(log.reports.empty());
}

}  // namespace
