#include "protocol/ByteManipulation.h"

#include "setup/Failure.h"

std::int16_t CalcChecksum(std::string_view message, std::int16_t excluded) {
  std::int16_t sum = 0;
  const long long last = static_cast<long long>(message.size()) - 1 - excluded;
  for (long long i = 1; i <= last; ++i) {
    sum = static_cast<std::int16_t>((sum + ByteAt(message, static_cast<std::size_t>(i))) & 0x7F);
  }
  return sum;
}

std::int16_t CombineBytes(unsigned char low, unsigned char high) {
  return CheckedInt16(static_cast<long long>(high) * 128 + low);
}

std::int32_t FindEOM(const ReceiveBuffer& buffer) {
  return buffer.FindEOM();
}

ByteString TrimBuffer(ReceiveBuffer& buffer, std::int32_t count) {
  if (count < 0) count = 0;
  return buffer.TakeFront(static_cast<std::size_t>(count));
}

bool ChecksumMatches(std::string_view message) {
  if (message.size() < 2) return false;
  return CalcChecksum(message, 2) == ByteAt(message, message.size() - 2);
}

void AppendChecksumAndEOM(ByteString& message) {
  message.push_back(static_cast<char>(CalcChecksum(message, 0)));
  message.push_back(static_cast<char>(kEOM));
}

void AppendNumber14(ByteString& message, std::int32_t number) {
  // Both groups must be data bytes: a high group of 0x80 or more would be a command byte in
  // the middle of the message, and the switcher would take the message as broken off there.
  if (number < 0 || number > 0x3FFF) throw Failure(kOverflow, "Overflow");
  message.push_back(static_cast<char>(number & 0x7F));
  message.push_back(static_cast<char>(number >> 7));
}
