#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/ReceiveBuffer.h"

// The framing primitives shared by the dispatcher, the message handlers and the builders of
// protocol/Messages.h, which describes the framing and every message.

using ByteString = std::string;

inline constexpr unsigned char kEOM = 0xFF;

// Largest legal message: an alpha table of 16383 names of 127 characters.
inline constexpr std::int32_t kMaxMessageLength = (127 + 2) * 16383 + 9;  // 2,113,416

inline unsigned char ByteAt(std::string_view message, std::size_t i) {
  return static_cast<unsigned char>(message[i]);
}

// 7-bit sum of the bytes from position 1 up to and including position (length - 1 - excluded).
// excluded = 2 sums the data bytes of a received framed message; 0 those of one being built.
std::int16_t CalcChecksum(std::string_view message, std::int16_t excluded);

// high x 128 + low, in 16-bit signed arithmetic (a result outside it is an overflow failure).
std::int16_t CombineBytes(unsigned char low, unsigned char high);

// FindEOM over the receive buffer: 1-based position of the first 0xFF, 0 when none.
std::int32_t FindEOM(const ReceiveBuffer& buffer);

// Removes the first count bytes of the buffer and returns them (the whole buffer when count is
// at least its length).
ByteString TrimBuffer(ReceiveBuffer& buffer, std::int32_t count);

// True when the checksum byte of a received framed message (at length - 2) matches its data.
bool ChecksumMatches(std::string_view message);

// Appends the checksum of what has been built so far and the EOM.
void AppendChecksumAndEOM(ByteString& message);

// A 14-bit number as its two 7-bit groups, low first. A number outside 0..16383 is an overflow
// failure.
void AppendNumber14(ByteString& message, std::int32_t number);
