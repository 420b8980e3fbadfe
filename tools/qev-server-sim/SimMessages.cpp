#include "SimMessages.h"

#include <cstdio>
#include <fstream>

namespace sim {

namespace {

// The longest message a panel sends is the info request; anything longer that has no
// end-of-message byte yet is not going to become a valid message.
constexpr std::size_t kLongestPanelMessage = msg::kInfoRequestLength;

bool IsDataByte(unsigned char byte) {
  return !msg::IsCommandByte(byte);
}

std::string HexByte(unsigned char byte) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", byte);
  return text;
}

std::vector<std::string> NamesFrom(const std::vector<std::string>& fixed, const char* fallback,
                                   int count) {
  std::vector<std::string> names;
  names.reserve(static_cast<std::size_t>(count));
  for (int i = 1; i <= count; ++i) {
    if (static_cast<std::size_t>(i) <= fixed.size()) {
      names.push_back(fixed[static_cast<std::size_t>(i - 1)]);
    } else {
      names.push_back(std::string(fallback) + " " + std::to_string(i));
    }
  }
  return names;
}

PanelMessage Junk(ByteString bytes, std::string words, std::string problem) {
  PanelMessage message;
  message.kind = PanelMessage::Kind::kJunk;
  message.bytes = std::move(bytes);
  message.words = std::move(words);
  message.problem = std::move(problem);
  return message;
}

std::string ChecksumProblem(std::string_view message) {
  return "checksum " + HexByte(ByteAt(message, message.size() - 2)) + ", expected " +
         HexByte(static_cast<unsigned char>(CalcChecksum(message, 2)));
}

// A framed message of a kind a panel sends: its length checked first, then its checksum.
PanelMessage CheckedFrame(PanelMessage::Kind kind, std::string words, ByteString bytes,
                          std::size_t length) {
  PanelMessage message;
  message.kind = kind;
  message.words = std::move(words);
  if (bytes.size() != length) {
    message.problem =
        "length " + std::to_string(bytes.size()) + ", expected " + std::to_string(length);
  } else if (!ChecksumMatches(bytes)) {
    message.problem = ChecksumProblem(bytes);
  }
  message.bytes = std::move(bytes);
  return message;
}

PanelMessage ReadInfoRequest(ByteString bytes) {
  PanelMessage message = CheckedFrame(PanelMessage::Kind::kInfoRequest, "F2 INFO REQUEST",
                                      std::move(bytes), msg::kInfoRequestLength);
  const ByteString& wire = message.bytes;
  if (!message.Valid()) return message;
  const msg::InfoRequestFlags read = msg::ReadInfoRequest(wire);
  message.flags = read.flags;
  message.flags2 = read.flags2;
  message.words +=
      " flags " + std::to_string(message.flags) + " flags2 " + std::to_string(message.flags2);
  std::string wanted;
  if (message.flags & msg::kWantInputNames) wanted = "inputs";
  if (message.flags2 & msg::kWantConsoleNames) wanted += wanted.empty() ? "consoles" : ", consoles";
  if (!wanted.empty()) message.words += " (" + wanted + ")";
  for (std::size_t i = 7; i <= 10; ++i) {
    if (ByteAt(wire, i) != 0) message.problem = "byte " + std::to_string(i) + " is not 00";
  }
  return message;
}

PanelMessage ReadChannelCommand(ByteString bytes) {
  PanelMessage message = CheckedFrame(PanelMessage::Kind::kChannelCommand, "D6 CHANNEL COMMAND",
                                      std::move(bytes), msg::kChannelCommandLength);
  const ByteString& wire = message.bytes;
  // Even a command with a wrong checksum is shown decoded in the trace.
  if (wire.size() != msg::kChannelCommandLength) return message;
  const msg::ChannelEntry& entry = message.channel = msg::ChannelEntryAt(wire, 0);
  message.words = "D6 " + StateName(entry.state) + " source " + WireNumberText(entry.source) +
                  " console " + WireNumberText(entry.console);
  if (!message.Valid()) return message;
  if (ByteAt(wire, 3) != 1) {
    message.problem = "record count " + std::to_string(ByteAt(wire, 3)) + ", expected 1";
  } else if (entry.state > msg::kCueOn) {
    message.problem = "unknown action";
  }
  return message;
}

PanelMessage ReadTypeAnswer(ByteString bytes) {
  PanelMessage message;
  message.kind = PanelMessage::Kind::kTypeAnswer;
  message.words = "81 TYPE ANSWER";
  if (bytes != msg::kTypeAnswer) message.problem = "expected " + Hex(msg::kTypeAnswer);
  message.bytes = std::move(bytes);
  return message;
}

}  // namespace

std::string Hex(std::string_view bytes, std::size_t limit) {
  std::string text;
  const bool shortened = bytes.size() > limit;
  const std::size_t shown = shortened ? limit - 2 : bytes.size();
  for (std::size_t i = 0; i < shown; ++i) {
    if (i > 0) text += ' ';
    text += HexByte(ByteAt(bytes, i));
  }
  if (shortened) {
    text += " ... " + HexByte(ByteAt(bytes, bytes.size() - 2)) + " " +
            HexByte(ByteAt(bytes, bytes.size() - 1)) + " (" + std::to_string(bytes.size()) +
            " bytes)";
  }
  return text;
}

std::string StateName(int state) {
  switch (state) {
    case msg::kOff:
      return "OFF";
    case msg::kOn:
      return "ON";
    case msg::kCueOff:
      return "CUE OFF";
    case msg::kCueOn:
      return "CUE ON";
    default:
      return "STATE " + std::to_string(state);
  }
}

std::string WireNumberText(int wire) {
  return wire == msg::kUndefinedWire ? "undefined" : std::to_string(wire + 1);
}

std::vector<std::string> GeneratedInputNames(int count) {
  static const std::vector<std::string> kInputs = {
      "Mic 1",   "Mic 2",   "Mic 3",    "Mic 4",    "Guest Mic 1",  "Guest Mic 2",
      "Phone 1", "Phone 2", "CD 1",     "CD 2",     "Line In 1",    "Line In 2",
      "Codec 1", "Codec 2", "Sat Feed", "Network",  "Studio A Mic", "Studio B Mic",
      "Tape 1",  "Tape 2",  "Remote 1", "Remote 2", "Playout 1",    "Playout 2"};
  return NamesFrom(kInputs, "Input", count);
}

std::vector<std::string> GeneratedConsoleNames(int count) {
  static const std::vector<std::string> kConsoles = {
      "Studio A Desk", "Studio B Desk", "Studio C Desk", "News Booth",
      "Edit 1",        "Edit 2",        "Master Ctrl",   "Production 1",
      "Production 2",  "Voice Booth",   "Talk Studio",   "Sports Desk"};
  return NamesFrom(kConsoles, "Console", count);
}

std::optional<std::vector<std::string>> ReadNameFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::vector<std::string> names;
  std::string line;
  while (names.size() < static_cast<std::size_t>(msg::kMaxTableCount) && std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (char& c : line) {
      if (!IsDataByte(static_cast<unsigned char>(c))) c = '?';
    }
    names.push_back(line);
  }
  return names;
}

void PanelReader::Append(std::string_view bytes) {
  buffer_.Append(bytes);
}

std::optional<PanelMessage> PanelReader::Next() {
  if (buffer_.empty()) return std::nullopt;

  if (IsDataByte(buffer_[0])) {
    std::size_t count = 1;
    while (count < buffer_.size() && IsDataByte(buffer_[count])) ++count;
    ByteString stray = TrimBuffer(buffer_, static_cast<std::int32_t>(count));
    return Junk(std::move(stray), "stray data bytes", "not inside a message");
  }

  const unsigned char command = buffer_[0];
  if (command == msg::kPoll || command == msg::kLinkUp) {
    const bool poll = command == msg::kPoll;
    PanelMessage message;
    message.kind = poll ? PanelMessage::Kind::kPoll : PanelMessage::Kind::kPollAnswer;
    message.bytes = TrimBuffer(buffer_, 1);
    message.words = poll ? "F5 POLL" : "F4 POLL ANSWER";
    return message;
  }
  if (msg::IsSingleByte(command)) {
    return Junk(TrimBuffer(buffer_, 1), HexByte(command), "only the server sends this");
  }

  // A framed message: it ends at the first FF. A command byte before that means the panel
  // broke the message off and started another one.
  const std::int32_t eom = FindEOM(buffer_);
  const std::size_t end = eom > 0 ? static_cast<std::size_t>(eom) - 1 : buffer_.size();
  for (std::size_t j = 1; j < end; ++j) {
    if (!IsDataByte(buffer_[j])) {
      return Junk(TrimBuffer(buffer_, static_cast<std::int32_t>(j)), HexByte(command),
                  "broken off by the next command byte");
    }
  }
  if (eom == 0) {
    if (buffer_.size() <= kLongestPanelMessage) return std::nullopt;
    return Junk(TrimBuffer(buffer_, static_cast<std::int32_t>(buffer_.size())), HexByte(command),
                "no end-of-message byte");
  }

  ByteString bytes = TrimBuffer(buffer_, eom);
  switch (command) {
    case msg::kInfoRequest:
      return ReadInfoRequest(std::move(bytes));
    case msg::kChannel:
      return ReadChannelCommand(std::move(bytes));
    case msg::kTypeRequest:
      return ReadTypeAnswer(std::move(bytes));
    case kEOM:
      return Junk(std::move(bytes), "FF", "end-of-message byte without a message");
    default:
      return Junk(std::move(bytes), HexByte(command), "not a command a panel sends");
  }
}

}  // namespace sim
