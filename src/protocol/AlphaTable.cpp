// The alpha (name) table 0xFC (its bytes are in Messages.h): the switcher's real input or
// console names, one message per table. A table whose length is not exactly what its header
// promises is dropped unread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/Messages.h"
#include "protocol/TCPComm.h"

namespace {

constexpr std::int32_t kInputNamesRequestBit = msg::kWantInputNames;      // in InfoRequestFlags
constexpr std::int32_t kConsoleNamesRequestBit = msg::kWantConsoleNames;  // in InfoRequestFlags2

struct NameTable {
  std::vector<std::string> names;
  std::vector<std::int16_t> numbers;
};

// Decodes records first .. count - 1; the records before first are present but skipped, and
// their entries stay empty / 0. The header has checked the length, so every read is inside.
NameTable DecodeRecords(std::string_view message, const msg::AlphaTableHeader& header) {
  NameTable table;
  table.names.resize(static_cast<std::size_t>(header.count));
  table.numbers.resize(static_cast<std::size_t>(header.count), 0);
  for (std::int32_t k = header.first; k < header.count; ++k) {
    const auto index = static_cast<std::size_t>(k);
    // Names keep their trailing blanks and any zero bytes: the switcher pads them to L.
    table.names[index].assign(msg::AlphaTableName(message, header, index));
    table.numbers[index] = msg::AlphaTableNumber(message, header, index);
  }
  return table;
}

}  // namespace

void TCPComm::ProcessAlphaTable(std::string_view message) {
  try {
    const std::optional<msg::AlphaTableHeader> header = msg::ReadAlphaTableHeader(message);
    if (!header) return;

    // A table the panel has no use for is checked like the others and then dropped.
    if (header->type != msg::kInputTable && header->type != msg::kConsoleTable) return;

    NameTable table = DecodeRecords(message, *header);

    if (header->type == msg::kInputTable) {
      v_.InputNames = std::move(table.names);
      v_.InputNumbers = std::move(table.numbers);
      v_.InputCount = header->count;
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
