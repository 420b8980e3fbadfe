// The alpha (name) table 0xFC: the switcher's real input or console names, one message per table.
//
//   FC, type, L, count (14-bit), first (14-bit),
//   count records of L name characters and a 14-bit number, checksum, FF
//
// The message is exactly (L + 2) x count + 9 bytes long; anything else is dropped unread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/ByteManipulation.h"
#include "protocol/TCPComm.h"

namespace {

constexpr unsigned char kInputTable = 10;
constexpr unsigned char kConsoleTable = 70;

constexpr std::int32_t kInputNamesRequestBit = 256;  // bit 8 of InfoRequestFlags
constexpr std::int32_t kConsoleNamesRequestBit = 1;  // bit 0 of InfoRequestFlags2

// Header (FC, type, L, count, first) before the first record, and checksum + EOM after the last.
constexpr std::size_t kHeaderLength = 7;
constexpr std::size_t kFrameLength = kHeaderLength + 2;

struct NameTable {
  std::vector<std::string> names;
  std::vector<std::int16_t> numbers;
};

// Decodes records first .. count - 1; the records before first are present but skipped, and
// their entries stay empty / 0. The caller has checked the length, so every read is inside.
NameTable DecodeRecords(std::string_view message, std::size_t nameLength, std::int16_t count,
                        std::int16_t first) {
  NameTable table;
  table.names.resize(static_cast<std::size_t>(count));
  table.numbers.resize(static_cast<std::size_t>(count), 0);
  const std::size_t recordLength = nameLength + 2;
  for (std::int32_t k = first; k < count; ++k) {
    const std::size_t base = kHeaderLength + recordLength * static_cast<std::size_t>(k);
    const auto index = static_cast<std::size_t>(k);
    // Names keep their trailing blanks and any zero bytes: the switcher pads them to L.
    table.names[index].assign(message.substr(base, nameLength));
    table.numbers[index] =
        CombineBytes(ByteAt(message, base + nameLength), ByteAt(message, base + nameLength + 1));
  }
  return table;
}

}  // namespace

void TCPComm::ProcessAlphaTable(std::string_view message) {
  try {
    if (!ChecksumMatches(message)) return;
    // Even an empty table has its full header; a shorter message cannot be one.
    if (message.size() < kFrameLength) return;

    const unsigned char type = ByteAt(message, 1);
    const std::size_t nameLength = ByteAt(message, 2);
    const std::int16_t count = CombineBytes(ByteAt(message, 3), ByteAt(message, 4));
    const std::int16_t first = CombineBytes(ByteAt(message, 5), ByteAt(message, 6));

    // In size_t: at most 256 x 32767 + 9, far from any overflow.
    const std::size_t expected = (nameLength + 2) * static_cast<std::size_t>(count) + kFrameLength;
    if (message.size() != expected) return;

    // A table the panel has no use for is checked like the others and then dropped.
    if (type != kInputTable && type != kConsoleTable) return;

    NameTable table = DecodeRecords(message, nameLength, count, first);

    if (type == kInputTable) {
      v_.InputNames = std::move(table.names);
      v_.InputNumbers = std::move(table.numbers);
      v_.InputCount = count;
      window_.LoadInputCombo();
      v_.InfoRequestFlags &= ~kInputNamesRequestBit;
    } else {
      v_.ConsoleNames = std::move(table.names);
      window_.LoadConsoleCombo();
      v_.InfoRequestFlags2 &= ~kConsoleNamesRequestBit;
    }
  } catch (...) {
    log_.ReportError("Error Processing Alpha Table", "Message Error");
  }
}
