// The receive path: draining the socket into the receive buffer, the decode timer, and the
// dispatcher that takes one message at a time off the front of the buffer.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>

#include "protocol/Messages.h"
#include "protocol/TCPComm.h"
#include "setup/Failure.h"

namespace {

using msg::IsCommandByte;

}  // namespace

void TCPComm::scktSwitcher_DataArrival(std::int16_t bytesTotal) {
  try {
    if (bytesTotal < 1) throw Failure(kOutOfRange, "Subscript out of range");
    // Room for one byte more than announced; the loop reads until the socket has nothing left,
    // so bytes that came in after the announcement are taken too.
    const std::int16_t maxLength = CheckedInt16(static_cast<long long>(bytesTotal) + 1);
    std::string area(static_cast<std::size_t>(maxLength), '\0');
    const auto deadline = DecodeClock::now() + kDecodeSlice;
    for (;;) {
      if (v_.ReceiveBuffer.size() > kReceiveBacklogBound) {
        // A backlog over the bound always moves: its front is a whole message, bytes that are
        // dropped, or a message too long to be legal, whose command byte goes.
        while (v_.ReceiveBuffer.size() > kReceiveBacklogBound && DecodeClock::now() < deadline) {
          ProcessReceiveBuffer();
        }
        if (v_.ReceiveBuffer.size() > kReceiveBacklogBound) {
          // The rest stays with the socket; the decode timer asks for it once there is room.
          readingHeldBack_ = true;
          timers_.EnableDecodeTimer();
          return;
        }
      }
      const std::int32_t count = socket_.Read(area.data(), maxLength);
      if (count > 0) {
        v_.ReceiveBuffer.Append(std::string_view(area).substr(
            0, static_cast<std::size_t>(std::min(count, std::int32_t{maxLength}))));
        decodeStalled_ = false;
        continue;
      }
      // Drained. Whatever ended the reads, "would block" or a link that is going away (a
      // server may send its last report and close at once), the bytes taken are decoded: they
      // may be all the server ever sends. The link's own events deal with the closed socket.
      readingHeldBack_ = false;
      timers_.EnableDecodeTimer();
      ProcessReceiveBuffer();
      return;
    }
  } catch (...) {
    log_.ReportError("Error Receiving IP Message", "Socket Error");
  }
}

void TCPComm::tmrDecode_Timer() {
  if (!v_.ReceiveBuffer.empty()) ProcessReceiveBuffer();
  if (readingHeldBack_ && v_.ReceiveBuffer.size() <= kReceiveBacklogBound) {
    // Room again: the socket holds what the server sent meanwhile, and no new event comes for
    // bytes it already holds.
    readingHeldBack_ = false;
    socket_.ResumeDataArrival();
  }
}

void TCPComm::ProcessReceiveBuffer() {
  ReceiveBuffer& buffer = v_.ReceiveBuffer;
  // Stalled only when this run finds nothing to decode or the front of a message that has not
  // fully arrived: decoding again before more bytes arrive would find the same.
  decodeStalled_ = buffer.empty();
  try {
    // Each pass starts at the front of the buffer; a pass that discards bytes goes round again,
    // one that consumes a message (or finds it incomplete) ends the call.
    while (!buffer.empty()) {
      // Bytes that cannot start a message are thrown away.
      std::size_t strays = 0;
      while (strays < buffer.size() && !IsCommandByte(buffer[strays])) ++strays;
      if (strays == buffer.size()) {
        buffer.Clear();
        break;
      }
      if (strays > 0) {
        TrimBuffer(buffer, static_cast<std::int32_t>(strays));
        continue;
      }

      // Every message leaves the buffer before it is acted on, so whatever the action does
      // (a send that fails, a handler that throws) the next run starts after it.
      const unsigned char command = buffer[0];
      if (msg::IsSingleByte(command)) {
        TrimBuffer(buffer, 1);
        if (command == msg::kPoll) {
          SendToSwitcher(msg::kLinkUpMessage);  // the answer to a poll
        } else if (command != msg::kNoAction) {
          v_.PollsOutstanding = 0;
          // Exact comparisons: only a change of the reported state is shown.
          if (command == msg::kLinkUp && v_.SwitcherConnected == kFalse) ShowConnection(kTrue);
          if (command == msg::kLinkDown && v_.SwitcherConnected == kTrue) ShowConnection(kFalse);
        }
        break;
      }

      // A framed message: it ends at the first 0xFF.
      const std::int32_t length = FindEOM(buffer);
      // No legal message is longer than the largest name table. One that has already grown
      // past that can never end well: its command byte goes, and what follows is decoded as
      // stray bytes, so a server sending endless data cannot fill the panel's memory.
      if (length > kMaxMessageLength ||
          (length == 0 && buffer.size() > static_cast<std::size_t>(kMaxMessageLength))) {
        TrimBuffer(buffer, 1);
        continue;
      }
      if (length == 0) {  // not complete yet: wait for more bytes
        decodeStalled_ = true;
        break;
      }

      // A command byte before the EOM means the message was broken off and a new one starts
      // there; decoding resumes at it.
      std::int32_t broken = 0;
      for (std::int32_t j = 1; j <= length - 2; ++j) {
        if (IsCommandByte(buffer[static_cast<std::size_t>(j)])) {
          broken = j;
          break;
        }
      }
      if (broken > 0) {
        TrimBuffer(buffer, broken);
        continue;
      }

      // Each handler's reader checks the checksum (Messages.h); unknown commands are dropped
      // whole.
      const ByteString message = TrimBuffer(buffer, length);
      const unsigned char framed = ByteAt(message, 0);
      if (framed == msg::kTypeRequest) ProcessTypeRequest(message);
      if (framed == msg::kSwitcherType) ProcessSwitcherType(message);
      if (framed == msg::kAlphaTable) ProcessAlphaTable(message);
      if (framed == msg::kChannel) ProcessChannelOnOff(message);
      break;
    }
  } catch (...) {
    log_.ReportError("Error Processing Command", "Decode Error");
  }
}
