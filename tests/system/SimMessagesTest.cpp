// The simulator's strict reader, its trace and its names. The whole-program tests trust the
// simulator's trace, so a fault here would hide a fault in the panel.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimMessages.h"
#include "support/Bytes.h"

namespace {

std::vector<sim::PanelMessage> ReadAll(sim::PanelReader& reader) {
  std::vector<sim::PanelMessage> messages;
  for (int guard = 0; guard < 100; ++guard) {
    auto message = reader.Next();
    if (!message) break;
    messages.push_back(*message);
  }
  return messages;
}

std::vector<sim::PanelMessage> ReadAll(const ByteString& bytes) {
  sim::PanelReader reader;
  reader.Append(bytes);
  return ReadAll(reader);
}

const ByteString kOnSource3Console5 =
    Bytes({0xD6, 0x7F, 0x00, 0x01, 0x02, 0x00, 0x04, 0x00, 0x01, 0x07, 0xFF});
const ByteString kInfoRequest =
    Bytes({0xF2, 0x00, 0x02, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0xFF});

}  // namespace

TEST(SimNames, GeneratedNamesAreDistinctAndPlainAscii) {
  const auto consoles = sim::GeneratedConsoleNames(256);
  ASSERT_EQ(consoles.size(), 256u);
  EXPECT_EQ(consoles[1], "Studio B Desk");
  EXPECT_EQ(consoles[255], "Console 256");
  EXPECT_EQ(sim::GeneratedInputNames(3), (std::vector<std::string>{"Mic 1", "Mic 2", "Mic 3"}));
}

TEST(SimReader, AcceptsWhatAWellBehavedPanelSends) {
  ByteString wire = Bytes({0xF5});
  wire += Bytes({0x81, 0x09, 0x01, 0x0A, 0xFF});
  wire += kInfoRequest;
  wire += kOnSource3Console5;
  wire += Bytes({0xF4});
  const auto messages = ReadAll(wire);
  ASSERT_EQ(messages.size(), 5u);
  for (const auto& message : messages) EXPECT_TRUE(message.Valid()) << message.problem;

  using Kind = sim::PanelMessage::Kind;
  EXPECT_EQ(messages[0].kind, Kind::kPoll);
  EXPECT_EQ(messages[1].kind, Kind::kTypeAnswer);
  EXPECT_EQ(messages[2].kind, Kind::kInfoRequest);
  EXPECT_EQ(messages[2].flags, 256);
  EXPECT_EQ(messages[2].flags2, 1);
  EXPECT_EQ(messages[3].kind, Kind::kChannelCommand);
  EXPECT_EQ(messages[3].words, "D6 ON source 3 console 5");
  EXPECT_EQ(messages[3].channel.source, 2);
  EXPECT_EQ(messages[3].channel.console, 4);
  EXPECT_EQ(messages[4].kind, Kind::kPollAnswer);
}

TEST(SimReader, DecodesCueOnAndUndefinedChannelCommands) {
  const auto cue =
      ReadAll(Bytes({0xD6, 0x7F, 0x00, 0x01, 0x47, 0x01, 0x2B, 0x02, 0x03, 0x78, 0xFF}));
  ASSERT_EQ(cue.size(), 1u);
  EXPECT_TRUE(cue[0].Valid());
  EXPECT_EQ(cue[0].words, "D6 CUE ON source 200 console 300");

  const auto undefined =
      ReadAll(Bytes({0xD6, 0x7F, 0x00, 0x01, 0x7F, 0x7F, 0x7F, 0x7F, 0x00, 0x7C, 0xFF}));
  ASSERT_EQ(undefined.size(), 1u);
  EXPECT_TRUE(undefined[0].Valid());
  EXPECT_EQ(undefined[0].words, "D6 OFF source undefined console undefined");
}

// One valid channel command, broken one fault at a time.
TEST(SimReader, RefusesEveryBrokenChannelCommand) {
  struct Case {
    const char* fault;
    ByteString wire;
  };
  ByteString wrongChecksum = kOnSource3Console5;
  wrongChecksum[9] = 0x08;
  ByteString longer = kOnSource3Console5;
  longer.insert(8, 1, '\x00');
  ByteString shorter = kOnSource3Console5;
  shorter.erase(7, 1);  // a 00 byte: the checksum still matches
  ByteString twoRecords = kOnSource3Console5;
  twoRecords[3] = 0x02;
  twoRecords[9] = 0x08;
  ByteString badAction = kOnSource3Console5;
  badAction[8] = 0x04;
  badAction[9] = 0x0A;
  const std::vector<Case> cases = {
      {"wrong checksum", wrongChecksum}, {"one byte longer", longer},
      {"one byte shorter", shorter},     {"two records announced", twoRecords},
      {"unknown action", badAction},
  };
  for (const Case& c : cases) {
    const auto messages = ReadAll(c.wire);
    ASSERT_EQ(messages.size(), 1u) << c.fault;
    EXPECT_FALSE(messages[0].Valid()) << c.fault;
  }
}

TEST(SimReader, CutsJunkAndRecoversAtTheNextCommand) {
  // Stray data bytes, a message broken off by a poll, an unknown command, a lone EOM.
  ByteString wire = Bytes({0x05, 0x06, 0xD6, 0x7F, 0xF5, 0xC3, 0x01, 0x01, 0xFF, 0xFF});
  wire += kOnSource3Console5;
  const auto messages = ReadAll(wire);
  ASSERT_EQ(messages.size(), 6u);
  EXPECT_FALSE(messages[0].Valid());  // 05 06
  EXPECT_FALSE(messages[1].Valid());  // D6 7F, broken off
  EXPECT_TRUE(messages[2].Valid());   // F5
  EXPECT_FALSE(messages[3].Valid());  // C3 01 01 FF
  EXPECT_FALSE(messages[4].Valid());  // FF
  EXPECT_TRUE(messages[5].Valid());
  EXPECT_EQ(messages[5].bytes, kOnSource3Console5);
}

TEST(SimReader, WaitsForTheEndOfAMessageDeliveredByteByByte) {
  sim::PanelReader reader;
  for (std::size_t i = 0; i + 1 < kInfoRequest.size(); ++i) {
    reader.Append(kInfoRequest.substr(i, 1));
    ASSERT_FALSE(reader.Next().has_value()) << "after byte " << i;
  }
  reader.Append(kInfoRequest.substr(kInfoRequest.size() - 1));
  const auto message = reader.Next();
  ASSERT_TRUE(message.has_value());
  EXPECT_TRUE(message->Valid());
  EXPECT_EQ(message->bytes, kInfoRequest);
}

TEST(SimReader, GivesUpOnAMessageLongerThanAnyAPanelSends) {
  sim::PanelReader reader;
  reader.Append(Bytes({0xD6}) + ByteString(20, '\x01'));
  const auto messages = ReadAll(reader);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_FALSE(messages[0].Valid());
  EXPECT_EQ(reader.Pending(), 0u);
}

TEST(SimTrace, HexShortensLongMessages) {
  EXPECT_EQ(sim::Hex(kOnSource3Console5), "D6 7F 00 01 02 00 04 00 01 07 FF");
  EXPECT_EQ(sim::Hex(kInfoRequest, 6), "F2 00 02 00 ... 03 FF (13 bytes)");
}
