#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/ByteManipulation.h"
#include "protocol/Messages.h"
#include "protocol/ReceiveBuffer.h"

// The Server Module's own side of the byte protocol, as plain C++: a strict reader that cuts what
// a panel sends into messages and says whether each one is exactly what a well-behaved panel
// would send, the words of the trace, and the names the simulated switcher has. The messages
// themselves are built with the panel's own vocabulary (protocol/Messages.h).
namespace sim {

// Hex bytes separated by blanks. A message longer than limit shows its first bytes, "...",
// its last two bytes and its length.
std::string Hex(std::string_view bytes, std::size_t limit = 48);

// "ON", "OFF", "CUE ON", "CUE OFF", or "STATE n".
std::string StateName(int state);

// A wire number in words, 1-based as the operator counts: "3", or "undefined".
std::string WireNumberText(int wire);

// Names the switcher might have: "Mic 1", "Studio B Desk", ..., then "Input 17" and so on.
std::vector<std::string> GeneratedInputNames(int count);
std::vector<std::string> GeneratedConsoleNames(int count);

// Reads one name per line (LF or CR LF). Bytes the 7-bit wire cannot carry become '?'.
// Returns nothing when the file cannot be read.
std::optional<std::vector<std::string>> ReadNameFile(const std::string& path);

// One message from a panel, as a strict server sees it.
struct PanelMessage {
  enum class Kind {
    kPoll,            // F5
    kPollAnswer,      // F4, the answer to the server's own poll
    kInfoRequest,     // F2, 13 bytes
    kChannelCommand,  // D6, 11 bytes
    kTypeAnswer,      // 81 09 01 0A FF
    kJunk,            // stray data bytes, broken or unknown messages
  };
  Kind kind = Kind::kJunk;
  ByteString bytes;
  std::string words;    // decoded, for the trace
  std::string problem;  // why a strict server refuses it; empty when the message is valid
  bool Valid() const { return problem.empty(); }
  // Decoded fields, when valid.
  std::int32_t flags = 0;
  std::int32_t flags2 = 0;
  msg::ChannelEntry channel;  // wire numbers; state holds the action
};

// Collects a panel's bytes and hands them out one message at a time.
class PanelReader {
 public:
  void Append(std::string_view bytes);
  // The next message, or nothing while the front of the buffer is an unfinished message.
  std::optional<PanelMessage> Next();
  std::size_t Pending() const { return buffer_.size(); }

 private:
  ReceiveBuffer buffer_;
};

}  // namespace sim
