// The builders the simulator, the benchmarks and the tests send through. The panel's own
// messages are checked byte by byte where it sends them (OutgoingTest, StatusMessagesTest); these
// are the server's side, against bytes written out by hand.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/Messages.h"

namespace {

const std::string kOnSource3Console5("\xD6\x7F\x00\x01\x02\x00\x04\x00\x01\x07\xFF", 11);

}  // namespace

TEST(Messages, GreetingMessagesAreByteExact) {
  EXPECT_EQ(msg::TypeRequest(), std::string("\x81\x64\x64\xFF", 4));
  EXPECT_EQ(msg::SwitcherType(133), std::string("\xE5\x01\x00\x00\x05\x01\x00\x00\x07\xFF", 10));
}

TEST(Messages, ChannelReportHasOneEntryPerChange) {
  EXPECT_EQ(msg::ChannelReport({{2, 4, msg::kOn}}), kOnSource3Console5);
  EXPECT_EQ(msg::ChannelReport({{2, 4, msg::kOff}, {16383, 16383, msg::kOff}}),
            std::string("\xD6\x7F\x00\x02\x02\x00\x04\x00\x00\x7F\x7F\x7F\x7F\x00\x03\xFF", 16));
  // The panel reads back what the server wrote, entry by entry.
  const msg::ChannelEntry entry = msg::ChannelEntryAt(kOnSource3Console5, 0);
  EXPECT_EQ(entry.source, 2);
  EXPECT_EQ(entry.console, 4);
  EXPECT_EQ(entry.state, msg::kOn);
}

TEST(Messages, AlphaTableOfTwoMicrophonesIsByteExact) {
  EXPECT_EQ(msg::AlphaTable(msg::kInputTable, 4, {"Mic1", "Mic2"}),
            std::string("\xFC\x0A\x04\x02\x00\x00\x00"
                        "Mic1\x01\x00"
                        "Mic2\x02\x00"
                        "\x28\xFF",
                        21));
}

TEST(Messages, AlphaTableNamesArePaddedOrCutToTheirLength) {
  const ByteString table = msg::AlphaTable(msg::kConsoleTable, 5, {"Ed", "Studio B Desk"}, 1);
  ASSERT_EQ(table.size(), (5u + 2) * 2 + 9);
  EXPECT_EQ(table.substr(7, 5), "Ed   ");
  EXPECT_EQ(table.substr(14, 5), "Studi");
  EXPECT_EQ(table[5], '\x01');  // first
  const auto header = msg::ReadAlphaTableHeader(table);
  ASSERT_TRUE(header.has_value());
  EXPECT_EQ(msg::AlphaTableName(table, *header, 1), "Studi");
  EXPECT_EQ(msg::AlphaTableNumber(table, *header, 1), 2);
}

TEST(Messages, FullSizeTableIsTheLargestLegalMessage) {
  const std::vector<std::string> names(msg::kMaxTableCount, std::string(msg::kMaxNameLength, 'x'));
  const ByteString table = msg::AlphaTable(msg::kInputTable, msg::kMaxNameLength, names);
  ASSERT_EQ(table.size(), 2113416u);
  EXPECT_EQ(static_cast<std::int32_t>(table.size()), kMaxMessageLength);
  EXPECT_EQ(table.find('\xFF'), table.size() - 1);
  EXPECT_TRUE(ChecksumMatches(table));
  for (std::size_t i = 1; i + 1 < table.size(); ++i) {
    ASSERT_LT(ByteAt(table, i), 0x80) << "at " << i;
  }
}

// A count, type or length of 128 would put a command byte inside the message.
TEST(Messages, BuildersRefuseWhatNoDataByteCarries) {
  EXPECT_THROW(msg::ChannelReport(std::vector<msg::ChannelEntry>(128)), Failure);
  EXPECT_THROW(msg::AlphaTable(msg::kInputTable, 128, {"x"}), Failure);
  EXPECT_THROW(msg::AlphaTable(128, 4, {"x"}), Failure);
}
