#pragma once

// Messages as the Server Module sends them, built with the panel's own vocabulary.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/Messages.h"

namespace bench {

using msg::kConsoleTable;
using msg::kInputTable;

// The largest name table the protocol carries: 16383 names of 127 characters.
inline constexpr std::int32_t kFullTableCount = msg::kMaxTableCount;
inline constexpr std::int32_t kLongestName = msg::kMaxNameLength;
inline constexpr std::int32_t kConsoleCount = 256;

// A channel report with one entry: wire source and console (0-based), state.
inline ByteString ChannelReport(std::int32_t source, std::int32_t console, unsigned char state) {
  return msg::ChannelReport({{source, console, state}});
}

// An alpha table of count names of nameLength letters, numbered 1 upwards.
inline ByteString AlphaTable(unsigned char type, std::int32_t nameLength, std::int32_t count) {
  std::vector<std::string> names(static_cast<std::size_t>(count));
  for (std::int32_t k = 0; k < count; ++k) {
    std::string& name = names[static_cast<std::size_t>(k)];
    for (std::int32_t c = 0; c < nameLength; ++c)
      name.push_back(static_cast<char>('A' + (k + c) % 26));
  }
  return msg::AlphaTable(type, nameLength, names);
}

}  // namespace bench
