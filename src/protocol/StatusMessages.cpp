// The small status messages from the Server Module: the link state it reports, its request
// for the panel's type, and the switcher type it reports.

#include <cstdint>

#include "protocol/TCPComm.h"

namespace {

// The panel's type, 9 and 1, with their checksum.
constexpr std::string_view kTypeAnswer("\x81\x09\x01\x0A\xFF", 5);

constexpr unsigned char kTypeRequestMark = 0x64;
constexpr unsigned char kSwitcherTypeMark = 0x01;
constexpr std::size_t kSwitcherTypeLength = 10;

// The name tables the panel asks for: inputs (bit 8 of the first mask), consoles (bit 0 of
// the second).
constexpr std::int32_t kInputNamesRequest = 256;
constexpr std::int32_t kConsoleNamesRequest = 1;

}  // namespace

void TCPComm::ShowConnection(Flag16 flag) {
  try {
    if (flag == kTrue) {
      // The link is up: ask for the name tables before showing it, so the poll timer repeats
      // the request until they have arrived.
      SendInfoRequest(kInputNamesRequest, kConsoleNamesRequest);
      v_.SwitcherConnected = kTrue;
    } else {
      v_.SwitcherConnected = kFalse;
    }
    UpdateLinkLamp();
  } catch (...) {
    log_.ReportError("Error Showing Connection", "Program Error");
  }
}

void TCPComm::ProcessTypeRequest(std::string_view message) {
  try {
    if (!ChecksumMatches(message)) return;
    if (message.size() != 4 && message.size() != 5) return;
    if (ByteAt(message, 1) != kTypeRequestMark) return;
    SendToSwitcher(kTypeAnswer);
    // The server asking who we are means it wants to be polled.
    timers_.SetPollTimerEnabled(true);
  } catch (...) {
    log_.ReportError("Error Processing Type Request", "Message Error");
  }
}

void TCPComm::ProcessSwitcherType(std::string_view message) {
  try {
    if (message.empty()) return;
    if (!ChecksumMatches(message)) return;
    if (message.size() != kSwitcherTypeLength || ByteAt(message, 1) != kSwitcherTypeMark) return;
    v_.SwitcherType = CombineBytes(ByteAt(message, 4), ByteAt(message, 5));
  } catch (...) {
    log_.ReportError("Error Processing Switcher Type", "Message Error");
  }
}
