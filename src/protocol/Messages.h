#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/ByteManipulation.h"
#include "setup/Failure.h"

// Every message the link to the Server Module carries, in one place: the command bytes, the
// channel states, and how each message is built and read. The panel, the simulator, the
// benchmarks and the tests all speak through these.
//
// Framing: a command byte (0x80 and above) starts every message. F1, F3, F4 and F5 are the whole
// message. Every other command is followed by 7-bit data bytes, a checksum (the sum of the data
// bytes, modulo 128) and the end-of-message byte FF. 14-bit numbers travel as two data bytes, low
// group first. Source and console numbers go on the wire counted from 0; 16383 (7F 7F) is
// "Undefined" and, in a report, "any console".
//
// Readers take a complete message from its command byte to its FF. They tell a malformed message
// apart from a failure the way the handlers need: a wrong checksum or length gives nothing (the
// message is ignored), a read past the end of a message throws (it is reported). Checking the
// checksum is the readers' job, and only theirs: the dispatcher hands every framed message on as
// it came, and a handler takes its message's contents only through its reader.
namespace msg {

// Command bytes. 0x81 starts both the server's type request and the panel's answer, 0xD6 both
// the panel's channel command and the server's channel report.
inline constexpr unsigned char kTypeRequest = 0x81;
inline constexpr unsigned char kChannel = 0xD6;
inline constexpr unsigned char kSwitcherType = 0xE5;  // the server reports the switcher's type
inline constexpr unsigned char kInfoRequest = 0xF2;   // the panel asks for name tables
inline constexpr unsigned char kAlphaTable = 0xFC;    // one name table
inline constexpr unsigned char kLinkDown = 0xF1;      // poll answer: the switcher is not reachable
inline constexpr unsigned char kNoAction = 0xF3;      // means nothing to the panel
inline constexpr unsigned char kLinkUp = 0xF4;        // poll answer: the switcher is reachable
inline constexpr unsigned char kPoll = 0xF5;          // either side asks the other to answer

inline bool IsCommandByte(unsigned char byte) {
  return (byte & 0x80) != 0;
}

// The commands that are a message on their own: no data, no checksum, no FF.
inline bool IsSingleByte(unsigned char command) {
  return command == kLinkDown || command == kNoAction || command == kLinkUp || command == kPoll;
}

// The single-byte messages as they go on the wire. The panel answers a poll with kLinkUpMessage.
inline constexpr std::string_view kPollMessage("\xF5", 1);
inline constexpr std::string_view kLinkUpMessage("\xF4", 1);
inline constexpr std::string_view kLinkDownMessage("\xF1", 1);

// A framed message from its command and data bytes: the checksum and FF appended.
ByteString Framed(std::string_view commandAndData);

// ---- Channel command and channel report, D6 ---------------------------------------------------
//   D6, byte1, 00, n, then per entry: source (14-bit), console (14-bit), state; checksum, FF.
// The panel's command is this with one entry (11 bytes), the entry's state being the action.

// Channel states, which are also the actions of the panel's channel command.
enum ChannelState : unsigned char { kOff = 0, kOn = 1, kCueOff = 2, kCueOn = 3 };

inline constexpr std::int32_t kUndefinedWire = 16383;  // "Undefined" in a list; any console
inline constexpr std::int32_t kAnyConsoleAlternative = 999;
inline constexpr std::size_t kChannelCommandLength = 11;

struct ChannelEntry {
  std::int32_t source = 0;   // counted from 0, as on the wire
  std::int32_t console = 0;  // counted from 0, as on the wire
  int state = kOff;
};

// The panel's command. byte1 and the state must be bytes and the numbers 14-bit: anything else
// is an overflow failure and nothing is built.
ByteString ChannelCommand(std::int32_t byte1, const ChannelEntry& entry);

// The server's report, byte1 7F; at most 127 entries.
ByteString ChannelReport(const std::vector<ChannelEntry>& entries);

// The report's entry count (nothing when its checksum does not match), and entry i of a report
// whose count was read. A position the message does not have is a failure: the report promised
// more than it holds. A byte of 0x80 or more read as a number is an overflow.
inline unsigned char ChannelByte(std::string_view message, std::size_t position) {
  if (position >= message.size()) {
    throw Failure(kOutOfRange, "Channel report shorter than its entry count");
  }
  return ByteAt(message, position);
}
inline std::optional<unsigned char> ReadChannelEntryCount(std::string_view message) {
  if (!ChecksumMatches(message)) return std::nullopt;
  return ChannelByte(message, 3);
}
inline ChannelEntry ChannelEntryAt(std::string_view message, std::size_t i) {
  const std::size_t p = 4 + 5 * i;
  ChannelEntry entry;
  entry.state = ChannelByte(message, p + 4);  // the entry's last byte: is it all there?
  entry.source = CombineBytes(ByteAt(message, p), ByteAt(message, p + 1));
  entry.console = CombineBytes(ByteAt(message, p + 2), ByteAt(message, p + 3));
  return entry;
}

// ---- Info request, F2 --------------------------------------------------------------------------
//   F2, bits 0-27 of flags in four data bytes, bits 0-13 of flags2 in two, four 00, checksum, FF.

inline constexpr std::size_t kInfoRequestLength = 13;
inline constexpr std::int32_t kWantInputNames = 256;  // bit 8 of flags
inline constexpr std::int32_t kWantConsoleNames = 1;  // bit 0 of flags2

ByteString InfoRequest(std::int32_t flags, std::int32_t flags2);

struct InfoRequestFlags {
  std::int32_t flags = 0;
  std::int32_t flags2 = 0;
};
// The flags of a request of kInfoRequestLength bytes.
InfoRequestFlags ReadInfoRequest(std::string_view message);

// ---- Type request and answer, 81 -------------------------------------------------------------
//   The server's request: 81 64 cs FF, or 81 64 x cs FF. The panel's answer: its type, 9 and 1.

inline constexpr std::string_view kTypeAnswer("\x81\x09\x01\x0A\xFF", 5);

ByteString TypeRequest();
// A request with a matching checksum, of 4 or 5 bytes, with 64 after the command byte.
bool IsTypeRequest(std::string_view message);

// ---- Switcher type, E5 -----------------------------------------------------------------------
//   E5 01 x x, the type (14-bit), x x, checksum, FF: exactly 10 bytes.

ByteString SwitcherType(std::int32_t type);
// The type, or nothing when the message is not a well-formed switcher type.
std::optional<std::int16_t> ReadSwitcherType(std::string_view message);

// ---- Alpha (name) table, FC ------------------------------------------------------------------
//   FC, type, L, count (14-bit), first (14-bit), then count records of L name bytes and a
//   14-bit number, checksum, FF: exactly (L + 2) x count + 9 bytes.

inline constexpr unsigned char kInputTable = 10;
inline constexpr unsigned char kConsoleTable = 70;
inline constexpr std::int32_t kMaxNameLength = 127;
inline constexpr std::int32_t kMaxTableCount = 16383;

// Names are cut or padded with blanks to nameLength; record k carries the number k + 1. Records
// before first are sent all the same. A type or length that is no data byte, or more names than
// a table holds, is an overflow failure.
ByteString AlphaTable(unsigned char type, std::int32_t nameLength,
                      const std::vector<std::string>& names, std::int32_t first = 0);

struct AlphaTableHeader {
  unsigned char type = 0;
  std::size_t nameLength = 0;
  std::int16_t count = 0;
  std::int16_t first = 0;
};
// The header of a table with a matching checksum and exactly the length its header promises;
// nothing for any other message.
std::optional<AlphaTableHeader> ReadAlphaTableHeader(std::string_view message);

// Record k of a table whose header was read: its name, exactly as sent, and its number.
inline std::string_view AlphaTableName(std::string_view message, const AlphaTableHeader& header,
                                       std::size_t k) {
  return message.substr(7 + (header.nameLength + 2) * k, header.nameLength);
}
inline std::int16_t AlphaTableNumber(std::string_view message, const AlphaTableHeader& header,
                                     std::size_t k) {
  const std::size_t p = 7 + (header.nameLength + 2) * k + header.nameLength;
  return CombineBytes(ByteAt(message, p), ByteAt(message, p + 1));
}

}  // namespace msg
