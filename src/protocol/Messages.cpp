#include "protocol/Messages.h"

namespace msg {

namespace {

// Header (FC, type, L, count, first) before the first record, and checksum + FF after the last.
constexpr std::size_t kAlphaHeaderLength = 7;
constexpr std::size_t kAlphaFrameLength = kAlphaHeaderLength + 2;

void AppendEntry(ByteString& message, const ChannelEntry& entry) {
  AppendNumber14(message, entry.source);
  AppendNumber14(message, entry.console);
  message.push_back(static_cast<char>(CheckedByte(entry.state)));
}

}  // namespace

ByteString Framed(std::string_view commandAndData) {
  ByteString message(commandAndData);
  AppendChecksumAndEOM(message);
  return message;
}

ByteString ChannelCommand(std::int32_t byte1, const ChannelEntry& entry) {
  ByteString message;
  message.push_back(static_cast<char>(kChannel));
  message.push_back(static_cast<char>(CheckedByte(byte1)));
  message.push_back('\x00');
  message.push_back('\x01');  // one record
  AppendEntry(message, entry);
  AppendChecksumAndEOM(message);
  return message;
}

ByteString ChannelReport(const std::vector<ChannelEntry>& entries) {
  // The entry count is one data byte.
  if (entries.size() > 0x7F) throw Failure(kOverflow, "Overflow");
  ByteString message{static_cast<char>(kChannel), '\x7F', '\x00',
                     static_cast<char>(entries.size())};
  for (const ChannelEntry& entry : entries) AppendEntry(message, entry);
  AppendChecksumAndEOM(message);
  return message;
}

ByteString InfoRequest(std::int32_t flags, std::int32_t flags2) {
  // Seven bits at a time, low group first; higher bits are not sent.
  ByteString message;
  message.push_back(static_cast<char>(kInfoRequest));
  message.push_back(static_cast<char>(flags & 0x7F));
  message.push_back(static_cast<char>((flags / 128) & 0x7F));
  message.push_back(static_cast<char>((flags / 16384) & 0x7F));
  message.push_back(static_cast<char>((flags / 2097152) & 0x7F));
  message.push_back(static_cast<char>(flags2 & 0x7F));
  message.push_back(static_cast<char>((flags2 / 128) & 0x7F));
  message.append(4, '\0');
  AppendChecksumAndEOM(message);
  return message;
}

InfoRequestFlags ReadInfoRequest(std::string_view message) {
  InfoRequestFlags read;
  read.flags = ByteAt(message, 1) + ByteAt(message, 2) * 128 + ByteAt(message, 3) * 16384 +
               ByteAt(message, 4) * 2097152;
  read.flags2 = ByteAt(message, 5) + ByteAt(message, 6) * 128;
  return read;
}

ByteString TypeRequest() {
  return Framed(std::string_view("\x81\x64", 2));
}

bool IsTypeRequest(std::string_view message) {
  if (!ChecksumMatches(message)) return false;
  if (message.size() != 4 && message.size() != 5) return false;
  return ByteAt(message, 1) == 0x64;
}

ByteString SwitcherType(std::int32_t type) {
  ByteString message{static_cast<char>(kSwitcherType), '\x01', '\x00', '\x00'};
  AppendNumber14(message, type);
  message.append(2, '\x00');
  AppendChecksumAndEOM(message);
  return message;
}

std::optional<std::int16_t> ReadSwitcherType(std::string_view message) {
  if (message.empty()) return std::nullopt;
  if (!ChecksumMatches(message)) return std::nullopt;
  if (message.size() != 10 || ByteAt(message, 1) != 0x01) return std::nullopt;
  return CombineBytes(ByteAt(message, 4), ByteAt(message, 5));
}

ByteString AlphaTable(unsigned char type, std::int32_t nameLength,
                      const std::vector<std::string>& names, std::int32_t first) {
  // Type and name length are one data byte each.
  if (type > 0x7F || nameLength < 0 || nameLength > kMaxNameLength) {
    throw Failure(kOverflow, "Overflow");
  }
  const auto length = static_cast<std::size_t>(nameLength);
  const auto count = static_cast<std::int32_t>(names.size());
  ByteString message;
  message.reserve((length + 2) * names.size() + kAlphaFrameLength);
  message.push_back(static_cast<char>(kAlphaTable));
  message.push_back(static_cast<char>(type));
  message.push_back(static_cast<char>(nameLength));
  AppendNumber14(message, count);
  AppendNumber14(message, first);
  for (std::int32_t k = 0; k < count; ++k) {
    const std::string& name = names[static_cast<std::size_t>(k)];
    message.append(name, 0, length);
    if (name.size() < length) message.append(length - name.size(), ' ');
    AppendNumber14(message, k + 1);
  }
  AppendChecksumAndEOM(message);
  return message;
}

std::optional<AlphaTableHeader> ReadAlphaTableHeader(std::string_view message) {
  if (!ChecksumMatches(message)) return std::nullopt;
  // Even an empty table has its full header; a shorter message cannot be one.
  if (message.size() < kAlphaFrameLength) return std::nullopt;

  AlphaTableHeader header;
  header.type = ByteAt(message, 1);
  header.nameLength = ByteAt(message, 2);
  header.count = CombineBytes(ByteAt(message, 3), ByteAt(message, 4));
  header.first = CombineBytes(ByteAt(message, 5), ByteAt(message, 6));

  // In size_t: at most 256 x 32767 + 9, far from any overflow.
  const std::size_t expected =
      (header.nameLength + 2) * static_cast<std::size_t>(header.count) + kAlphaFrameLength;
  if (message.size() != expected) return std::nullopt;
  return header;
}

}  // namespace msg
