#pragma once

// Messages as the Server Module sends them, built with the panel's own framing primitives.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/ByteManipulation.h"

namespace bench {

inline constexpr unsigned char kInputTable = 10;
inline constexpr unsigned char kConsoleTable = 70;

// The largest name table the protocol carries: 16383 names of 127 characters.
inline constexpr std::int32_t kFullTableCount = 16383;
inline constexpr std::int32_t kLongestName = 127;
inline constexpr std::int32_t kConsoleCount = 256;

// Command byte and data bytes, then the checksum and the EOM.
inline ByteString Framed(std::string_view commandAndData) {
  ByteString message(commandAndData);
  AppendChecksumAndEOM(message);
  return message;
}

// A channel report with one entry: wire source and console (0-based), state.
inline ByteString ChannelReport(std::int32_t source, std::int32_t console, unsigned char state) {
  ByteString message("\xD6\x7F\x00\x01", 4);
  AppendNumber14(message, source);
  AppendNumber14(message, console);
  message.push_back(static_cast<char>(state));
  AppendChecksumAndEOM(message);
  return message;
}

// An alpha table of count names of nameLength letters, numbered 1 upwards.
inline ByteString AlphaTable(unsigned char type, std::int32_t nameLength, std::int32_t count) {
  ByteString message;
  message.reserve(static_cast<std::size_t>((nameLength + 2) * count + 9));
  message.push_back(static_cast<char>(0xFC));
  message.push_back(static_cast<char>(type));
  message.push_back(static_cast<char>(nameLength));
  AppendNumber14(message, count);
  AppendNumber14(message, 0);  // first
  for (std::int32_t k = 0; k < count; ++k) {
    for (std::int32_t c = 0; c < nameLength; ++c) {
      message.push_back(static_cast<char>('A' + (k + c) % 26));
    }
    AppendNumber14(message, k + 1);
  }
  AppendChecksumAndEOM(message);
  return message;
}

}  // namespace bench
