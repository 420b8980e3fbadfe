#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/ByteManipulation.h"
#include "protocol/ReceiveBuffer.h"

// The Server Module's side of the byte protocol, as plain C++: the messages the simulator
// sends to a panel, and a strict reader that cuts what a panel sends into messages and says
// whether each one is exactly what a well-behaved panel would send.
namespace sim {

inline constexpr unsigned char kPoll = 0xF5;
inline constexpr unsigned char kLinkUp = 0xF4;    // poll answer: switcher reachable
inline constexpr unsigned char kLinkDown = 0xF1;  // poll answer: switcher link down

inline constexpr int kInputTable = 10;
inline constexpr int kConsoleTable = 70;
inline constexpr int kUndefinedWire = 16383;  // "no source" / "no console", 7F 7F on the wire
inline constexpr int kMaxNameLength = 127;
inline constexpr int kMaxTableCount = 16383;

// Info request bits: bit 8 of the first flags asks for the input names, bit 0 of the second
// for the console names.
inline constexpr std::int32_t kWantInputs = 256;
inline constexpr std::int32_t kWantConsoles = 1;

// Channel states, which are also the actions of the panel's channel command.
enum ChannelState : int { kOff = 0, kOn = 1, kCueOff = 2, kCueOn = 3 };

// 81 64 64 FF: asks the panel for its type.
ByteString TypeRequest();

// E5 01 00 00 lo hi 00 00 cs FF.
ByteString SwitcherType(int type);

// FC type L count first, then per record L name bytes and the 14-bit record number (1-based),
// checksum, FF: exactly (L + 2) x count + 9 bytes. Names are cut or padded with blanks to L.
ByteString AlphaTable(int tableType, int nameLength, const std::vector<std::string>& names,
                      int first);

// One entry of a channel report; numbers as on the wire, 0-based.
struct ChannelEntry {
  int source = 0;
  int console = 0;
  int state = kOff;
};

// D6 7F 00 n, then per entry source lo hi, console lo hi, state; checksum; FF.
ByteString ChannelReport(const std::vector<ChannelEntry>& entries);

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
    kPanelPoll,       // F5
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
  ChannelEntry channel;  // wire numbers; state holds the action
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
