// Everything the panel sends to the Server Module: the one write path and the two composite
// messages the panel builds itself, the info request and the channel command.

#include <cstdint>

#include "protocol/Messages.h"
#include "protocol/TCPComm.h"
#include "setup/Failure.h"

namespace {

// The panel counts sources and consoles from 1, the wire from 0; "Undefined" travels as is.
std::int16_t WireNumber(std::int16_t number) {
  if (number == UndefinedSelection) return number;
  return CheckedInt16(static_cast<long long>(number) - 1);
}

}  // namespace

void TCPComm::SendToSwitcher(std::string_view message) {
  try {
    const std::int32_t length = CheckedInt32(static_cast<long long>(message.size()));
    // A message goes out whole or not at all: when the socket has no room it is written again
    // from its first byte, a bounded number of times so the operator's window never freezes
    // behind a server that has stopped reading.
    for (int repeats = 0;; ++repeats) {
      if (!socket_.IsConnected()) {
        DisconnectFromServer();
        return;
      }
      const std::int32_t count = socket_.Write(message.data(), length);
      if (count < 1 && socket_.LastError() != SocketComponent::kWouldBlock) return;
      if (socket_.BytesTaken() == length) return;
      if (repeats == kWriteRetryLimit) return;
    }
  } catch (...) {
    log_.ReportError("Error sending to switcher", "Message Error");
  }
}

void TCPComm::SendInfoRequest(std::int32_t flags, std::int32_t flags2) {
  try {
    SendToSwitcher(msg::InfoRequest(flags, flags2));
    // Kept even when the write was dropped: the poll timer sends the request again until the
    // name tables have answered it.
    v_.InfoRequestFlags = flags;
    v_.InfoRequestFlags2 = flags2;
  } catch (...) {
    log_.ReportError("Error Sending Info Request", "Message Error");
  }
}

void TCPComm::SendChannelOnOff(std::int16_t source, std::int16_t action, std::int16_t byte1,
                               std::int16_t console) {
  try {
    msg::ChannelEntry entry;
    entry.source = WireNumber(source);
    entry.console = WireNumber(console);
    entry.state = action;
    // Nothing chosen yet (0) gives a negative wire number, which is no byte: nothing is sent.
    // Numbers beyond 14 bits (16385 and up, only from a hand-edited ini) are refused the same
    // way and reported: their high group would be a command byte inside the message, and the
    // switcher would take the command as broken off there. 16384 becomes wire 16383, the
    // "Undefined" value, like the list's own "Undefined".
    SendToSwitcher(msg::ChannelCommand(byte1, entry));
  } catch (...) {
    log_.ReportError("Error Sending Channel On Off", "Switcher Command Error");
  }
}
