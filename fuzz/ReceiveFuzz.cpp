// Whatever the Server Module sends, however the network cuts it up: the bytes go through the
// socket's reads into the data-arrival handler, interleaved with decode-timer and poll-timer
// ticks, link drops, reconnections and the operator's choices, with the real core behind a fake
// window whose lists are built like the real window's. After every step the panel must still
// hold these:
//
// - Bounded buffer: an arrival takes bytes only while the receive buffer holds at most
//   kReceiveBacklogBound; over it, it decodes, and leaves the rest with the socket when that is not
//   enough, so the buffer never holds more than the bound and one read. The bytes left behind
//   are taken when the decode timer has made room and asks the socket to announce them again.
// - One message per dispatcher run: the bytes a run removes are stray bytes and broken-off
//   message starts, then at most one message, which ends the run (0xFF, or one of the
//   single-byte messages F1 F3 F4 F5). A run that ends no message leaves the buffer empty or
//   holding just the start of one framed message, short of its 0xFF and of the bound.
//   (An arrival that finds the buffer over the bound decodes it down first, many runs at once.)
// - What the panel writes is well framed: F4, F5, the type answer, the 13-byte info request
//   F2 or the 11-byte channel command D6, each with 7-bit data, the right checksum and 0xFF.
// - The Source and Console lists and SelectedSource / SelectedConsole agree: after a fill that
//   succeeded, the selection is "Undefined" (16383) or an entry of the list, and it is what
//   the list shows; after one that failed it is what it was. InputCount is always the size of
//   InputNames and InputNumbers.
// - Nothing is reported but the failures bad input may legitimately cause.
//
// Input: byte 0 holds, in its low 5 bits, the number of plan bytes that follow and, in its top
// 3 bits, the stored selections the panel starts with; the plan bytes are used round and round
// (see Step); the rest is what the server sends. A seed of 0x00 followed by a message delivers
// it in one arrival and decodes it to the end.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Require.h"
#include "app/ChannelButtons.h"
#include "app/SelectorLists.h"
#include "app/Variables.h"
#include "protocol/ByteManipulation.h"
#include "protocol/Messages.h"
#include "protocol/TCPComm.h"
#include "setup/Failure.h"
#include "setup/Procedures.h"
#include "support/Fakes.h"

namespace {

constexpr std::size_t kBound = kReceiveBacklogBound;
constexpr std::int16_t kLinkGone = 10054;  // any read error but "would block"
constexpr std::int16_t kLargestAnnounced = 32766;
constexpr int kMaxSteps = 1024;
constexpr int kMaxDrainTicks = 4096;
constexpr int kPollTicksAtEnd = 64;
constexpr int kMaxFloods = 2;

bool EndsAMessage(unsigned char byte) {
  return byte == kEOM || msg::IsSingleByte(byte);
}

// The socket: hands out one segment in reads of at most the requested length and keeps a copy
// of every byte it gave the panel, so the harness knows the receive buffer's content without
// copying it.
class RecordingSocket : public FakeSocket {
 public:
  // given is kept from one input to the next, so a flood does not cost fresh memory every time.
  RecordingSocket(const Variables& vars, std::string& given) : given(given), vars_(vars) {
    given.clear();
  }

  // Bytes the server sent, after any the panel has left unread.
  void Segment(std::string_view bytes) {
    segment_.erase(0, segmentRead_);
    segmentRead_ = 0;
    segment_.append(bytes);
  }
  bool Drained() const { return segmentRead_ == segment_.size(); }
  std::size_t Unread() const { return segment_.size() - segmentRead_; }
  // A closed link takes what it still held with it.
  void Disconnect() override {
    FakeSocket::Disconnect();
    segment_.clear();
    segmentRead_ = 0;
  }

  std::int32_t Read(char* area, std::int32_t maxLength) override {
    REQUIRE(maxLength >= 1);
    const std::size_t count =
        std::min(segment_.size() - segmentRead_, static_cast<std::size_t>(maxLength));
    if (count == 0) {
      lastError = errorWhenEmpty;
      // The handler decodes right after the read that finds nothing: remember where it starts.
      sawEmptyRead = true;
      sizeAtEmptyRead = vars_.ReceiveBuffer.size();
      return 0;
    }
    std::memcpy(area, segment_.data() + segmentRead_, count);
    given.append(area, count);
    segmentRead_ += count;
    givenTotal += count;
    roundBytes += count;
    return static_cast<std::int32_t>(count);
  }

  std::string& given;          // bytes handed out from absolute position givenBase on
  std::size_t givenBase = 0;   // bytes handed out before given[0]
  std::size_t givenTotal = 0;  // every byte ever handed out
  std::size_t roundBytes = 0;
  bool sawEmptyRead = false;
  std::size_t sizeAtEmptyRead = 0;

 private:
  const Variables& vars_;
  std::string segment_;
  std::size_t segmentRead_ = 0;
};

// One of the window's lists as the real window keeps it: shown whole over the name table, then
// the stored number's position selected, which stores the number again; on a failure the
// entries up to a missing name stay shown, nothing is selected and the stored number is left
// alone.
struct ListModel {
  int count = 0;  // entries shown
  int position = -1;
  bool filled = false;
  std::int16_t stored = 0;  // what the window last left in the shared selection
};

class ListWindow : public FakeWindow {
 public:
  explicit ListWindow(Variables& vars) : vars_(vars) {}

  void LoadInputCombo() override {
    FakeWindow::LoadInputCombo();
    Refill(source, SelectorList::Source(vars_), vars_.SelectedSource);
  }
  void LoadConsoleCombo() override {
    FakeWindow::LoadConsoleCombo();
    Refill(console, SelectorList::Console(vars_), vars_.SelectedConsole);
  }

  // The operator clicks an entry of the list.
  static void Choose(ListModel& list, int position, std::int16_t& selection) {
    list.position = position;
    selection = SelectionFromPosition(position);
    list.stored = selection;
  }

  ListModel source;
  ListModel console;

 private:
  static void Refill(ListModel& list, const SelectorList& entries, std::int16_t& selection) {
    list.count = entries.Count();
    // The last entry shown must have its name; one without would throw here and stop the run.
    (void)entries.Entry(list.count - 1);
    try {
      const int position = entries.Position();
      list.filled = true;
      Choose(list, position, selection);
    } catch (const Failure&) {
      list.position = -1;
      list.filled = false;
      list.stored = selection;
    }
  }

  Variables& vars_;
};

std::string& GivenBytes() {
  static std::string given;
  return given;
}

class Harness {
 public:
  Harness(std::string_view plan, std::string_view payload, unsigned startPreset)
      : plan_(plan), payload_(payload) {
    // A folder that is not there, taken as the program's own: nothing is ever written.
    ProgramSetup(v_, window_, log_,
                 {"/nonexistent/", "", "", [](const std::string&) { return true; }});
    // Stored selections as a configuration file may leave them.
    static constexpr std::int16_t kPresets[] = {1, 0, 2, 255, 256, 257, 16383, 32767};
    v_.SelectedSource = kPresets[startPreset % 8];
    v_.SelectedConsole = kPresets[(startPreset + 3) % 8];
    window_.LoadInputCombo();
    window_.LoadConsoleCombo();
    socket_.connected = true;
    comm_.scktSwitcher_Connect();
    CheckState();
  }

  void Run() {
    for (int step = 0; step < kMaxSteps && !payload_.empty(); ++step) {
      Step(plan_.empty() ? 0x40 : static_cast<unsigned char>(plan_[step % plan_.size()]));
      CheckState();
    }
    // What is left arrives in one piece and is decoded to the end; the link keeps polling.
    if (!payload_.empty()) {
      Arrival(payload_.size(), payload_.size(), false);
      CheckState();
    }
    for (int tick = 0; tick < kMaxDrainTicks && !v_.ReceiveBuffer.empty(); ++tick) {
      DecodeTick();
      CheckState();
      if (comm_.DecodeStalled()) break;
    }
    for (int tick = 0; tick < kPollTicksAtEnd; ++tick) {
      comm_.tmrPoll_Timer();
      CheckState();
    }
  }

 private:
  // One plan byte: the top 3 bits say what happens, the low 5 bits (arg) how much.
  void Step(unsigned char planByte) {
    const unsigned arg = planByte & 0x1F;
    switch (planByte >> 5) {
      case 0:  // a small segment, read at once
        Arrival(arg + 1, arg + 1, false);
        break;
      case 1:  // a larger segment announced short, so it takes several reads
        Arrival((arg + 1) * 16, arg + 1, false);
        break;
      case 2:  // everything left in one segment; with an odd arg the link goes after it
        Arrival(payload_.size(), payload_.size(), (arg & 1) != 0);
        break;
      case 3:
        for (unsigned i = 0; i <= arg; ++i) DecodeTick();
        break;
      case 4:
        for (unsigned i = 0; i <= arg; ++i) Unchanged([&] { comm_.tmrPoll_Timer(); });
        break;
      case 5:
        LinkEvent(arg);
        break;
      case 6:
        Operator(arg);
        break;
      default:
        // Floods are slow to decode, so only two plan bytes ask for one; the others bring
        // segments of up to 1.5 KB, read in pieces of every size.
        if (arg >= 30) {
          Flood(arg == 31);
        } else {
          Arrival((arg + 1) * 64, kLargestAnnounced / (arg + 1), false);
        }
        break;
    }
  }

  // The socket announces a segment of up to `size` payload bytes; the handler reads until the
  // socket is empty. When linkGone, the read that finds nothing reports a dropped link instead
  // of "would block", and the socket's close event follows.
  void Arrival(std::size_t size, std::size_t announced, bool linkGone) {
    const std::string_view chunk = payload_.substr(0, size);
    payload_.remove_prefix(chunk.size());
    Deliver(chunk, announced, linkGone);
  }

  void Deliver(std::string_view chunk, std::size_t announced, bool linkGone) {
    if (!socket_.connected) Connected();
    socket_.Segment(chunk);
    if (announced < 1) announced = 1;
    if (announced > static_cast<std::size_t>(kLargestAnnounced)) announced = kLargestAnnounced;

    const std::size_t consumedBefore = Consumed();
    const std::size_t sizeBefore = v_.ReceiveBuffer.size();
    const std::size_t unreadBefore = socket_.Unread();
    socket_.roundBytes = 0;
    socket_.sawEmptyRead = false;
    socket_.errorWhenEmpty = linkGone ? kLinkGone : SocketComponent::kWouldBlock;
    comm_.scktSwitcher_DataArrival(static_cast<std::int16_t>(announced));
    socket_.errorWhenEmpty = SocketComponent::kWouldBlock;

    CheckBufferMatchesWhatArrived();
    if (!socket_.sawEmptyRead) {
      // Held back: the buffer is over the bound by at most one read, any rest waits unread.
      // An arrival that found it over the bound already, and whose slice of decoding was not
      // enough to bring it under (a slow or busy machine), read nothing and left it no larger.
      REQUIRE(v_.ReceiveBuffer.size() > kBound);
      REQUIRE(v_.ReceiveBuffer.size() <= std::max(sizeBefore, kBound + announced + 1));
    } else {
      REQUIRE(socket_.Drained());
      REQUIRE(socket_.roundBytes == unreadBefore);
      // However the reading ended, what arrived is decoded: the server may have sent its last
      // report just before it closed the link. Reading stops at the bound, so the last run
      // starts within it.
      const std::size_t startOfRun = socket_.givenTotal - socket_.sizeAtEmptyRead;
      REQUIRE(socket_.sizeAtEmptyRead <= kBound);
      // Reading consumed nothing, unless the buffer went over the bound on the way.
      REQUIRE(startOfRun >= consumedBefore);
      if (startOfRun > consumedBefore) REQUIRE(sizeBefore + socket_.roundBytes > kBound);
      CheckOneRun(startOfRun, Consumed());
    }
    if (linkGone) {
      socket_.connected = false;
      comm_.scktSwitcher_Close();
    }
  }

  void DecodeTick() {
    const std::size_t before = Consumed();
    const bool wasEmpty = v_.ReceiveBuffer.empty();
    const int resumesBefore = socket_.resumes;
    comm_.tmrDecode_Timer();
    CheckBufferMatchesWhatArrived();
    if (wasEmpty) {
      REQUIRE(Consumed() == before);
    } else {
      CheckOneRun(before, Consumed());
    }
    // Room again after a held-back arrival: the socket announces what it still holds.
    if (socket_.resumes != resumesBefore) {
      REQUIRE(v_.ReceiveBuffer.size() <= kBound);
      if (!socket_.Drained() && socket_.connected) Deliver({}, kLargestAnnounced, false);
    }
  }

  void LinkEvent(unsigned arg) {
    switch (arg & 3) {
      case 0:  // the server closes the link
      case 1:
        if (socket_.connected) {
          socket_.connected = false;
          Unchanged([&] { comm_.scktSwitcher_Close(); });
        }
        break;
      default:
        if (!socket_.connected) Connected();
        break;
    }
  }

  void Connected() {
    socket_.connected = true;
    Unchanged([&] { comm_.scktSwitcher_Connect(); });
  }

  // Choosing an entry of a list, or pressing ON, OFF or CUE. The entry's position comes from
  // the next two payload bytes.
  void Operator(unsigned arg) {
    if (arg < 16) {
      const bool source = arg < 8;
      ListModel& list = source ? window_.source : window_.console;
      std::int16_t& selection = source ? v_.SelectedSource : v_.SelectedConsole;
      if (list.count == 0) return;
      const std::size_t position = TakeNumber() % static_cast<std::size_t>(list.count);
      ListWindow::Choose(list, static_cast<int>(position), selection);
      return;
    }
    if (arg < 24) {
      Unchanged([&] { cmdOn_Click(v_, comm_); });
    } else if (arg < 28) {
      Unchanged([&] { cmdOff_Click(v_, comm_); });
    } else {
      Unchanged([&] { cmdCue_Click(v_, comm_); });
    }
  }

  // The server floods the panel with a pattern of 1 to 4 payload bytes (the first payload byte
  // says how many follow), in one segment, until the buffer holds 2 KB less than the longest
  // legal message or 3 KB more: what matters is how the panel copes at its bound, not the time
  // it takes to get there. Two floods take the buffer past its bound; more would only slow
  // the run down.
  void Flood(bool pastTheBound) {
    static std::string flood;  // kept from one input to the next, like the socket's copy
    const std::size_t patternLength = payload_.empty() ? 0 : (payload_[0] & 3) + 1;
    if (!payload_.empty()) payload_.remove_prefix(1);
    flood.assign(payload_.substr(0, patternLength));
    payload_.remove_prefix(flood.size());
    if (++floods_ > kMaxFloods) return;
    if (flood.empty()) flood = "\xF3";
    const std::size_t target = pastTheBound ? kBound + 3072 : kBound - 2048;
    const std::size_t held = v_.ReceiveBuffer.size();
    const std::size_t size = target > held ? target - held : flood.size();
    while (flood.size() * 2 <= size) flood += flood;
    flood.append(flood, 0, size - std::min(size, flood.size()));
    Deliver(flood, kLargestAnnounced, false);
  }

  std::size_t TakeNumber() {
    std::size_t number = 0;
    for (int i = 0; i < 2 && !payload_.empty(); ++i) {
      number = number * 256 + static_cast<unsigned char>(payload_[0]);
      payload_.remove_prefix(1);
    }
    return number;
  }

  // Work that must neither consume nor add received bytes.
  template <typename Action>
  void Unchanged(Action action) {
    const std::size_t before = Consumed();
    const std::size_t size = v_.ReceiveBuffer.size();
    action();
    REQUIRE(Consumed() == before);
    REQUIRE(v_.ReceiveBuffer.size() == size);
  }

  // Absolute count of the bytes that have left the receive buffer.
  std::size_t Consumed() const {
    REQUIRE(v_.ReceiveBuffer.size() <= socket_.givenTotal);
    return socket_.givenTotal - v_.ReceiveBuffer.size();
  }

  unsigned char GivenAt(std::size_t absolute) const {
    return static_cast<unsigned char>(socket_.given[absolute - socket_.givenBase]);
  }

  // The buffer holds the unconsumed tail of what the socket handed out, in order, unchanged.
  void CheckBufferMatchesWhatArrived() {
    const std::string_view buffer = v_.ReceiveBuffer.View();
    const std::string_view tail =
        std::string_view(socket_.given).substr(Consumed() - socket_.givenBase);
    REQUIRE(tail.size() == buffer.size());
    if (buffer.size() <= 4096) {
      REQUIRE(tail == buffer);
    } else {
      REQUIRE(tail.substr(0, 64) == buffer.substr(0, 64));
      REQUIRE(tail.substr(tail.size() - 64) == buffer.substr(buffer.size() - 64));
    }
  }

  // One dispatcher run removed the bytes [from, to).
  void CheckOneRun(std::size_t from, std::size_t to) {
    REQUIRE(from <= to);
    std::size_t ends = 0;
    for (std::size_t i = from; i < to; ++i) {
      if (EndsAMessage(GivenAt(i))) {
        ++ends;
        REQUIRE(i + 1 == to);  // the message that ends the run is the last thing removed
      }
    }
    REQUIRE(ends <= 1);
    if (ends == 0) CheckWaitingForMore();
  }

  // A run that ended no message: nothing is left, or only an incomplete framed message.
  void CheckWaitingForMore() {
    const std::string_view buffer = v_.ReceiveBuffer.View();
    if (buffer.empty()) return;
    // Decode ticks on a waiting message change nothing: check a long one only once.
    if (Consumed() == waitingChecked_.first && buffer.size() == waitingChecked_.second) return;
    waitingChecked_ = {Consumed(), buffer.size()};
    const auto front = static_cast<unsigned char>(buffer[0]);
    REQUIRE(front >= 0x80);
    REQUIRE(!EndsAMessage(front));
    REQUIRE(buffer.find('\xFF') == std::string_view::npos);
    REQUIRE(buffer.size() <= kBound);
  }

  void CheckState() {
    CheckWrites();
    CheckList(window_.source, v_.SelectedSource);
    CheckList(window_.console, v_.SelectedConsole);
    REQUIRE(v_.InputCount >= 0);
    REQUIRE(v_.InputNames.size() == static_cast<std::size_t>(v_.InputCount));
    REQUIRE(v_.InputNumbers.size() == static_cast<std::size_t>(v_.InputCount));
    if (window_.source.filled) {
      REQUIRE(window_.source.count == v_.InputCount + 1);
    }
    if (window_.console.filled) REQUIRE(window_.console.count == 257);
    REQUIRE(v_.CueActive == kTrue || v_.CueActive == kFalse);
    REQUIRE(v_.SwitcherConnected == kTrue || v_.SwitcherConnected == kFalse);
    for (const RecordingReporter::Report& report : log_.reports) {
      // A report shorter than its entry count, and a channel command with nothing chosen.
      const bool expected = report.message == "Error Receiving Channel On Off" ||
                            report.message == "Error Sending Channel On Off";
      if (!expected) std::fprintf(stderr, "unexpected report: %s\n", report.message.c_str());
      REQUIRE(expected);
    }
    // Keep the copy of what arrived from growing with consumed bytes.
    const std::size_t consumed = Consumed() - socket_.givenBase;
    if (consumed >= 65536 && consumed * 2 >= socket_.given.size()) {
      socket_.given.erase(0, consumed);
      socket_.givenBase += consumed;
    }
  }

  static void CheckList(const ListModel& list, std::int16_t selection) {
    REQUIRE(selection == list.stored);  // only the window stores a selection
    if (!list.filled) return;
    REQUIRE(list.position >= 0);
    REQUIRE(list.position < list.count);
    REQUIRE(selection == SelectionFromPosition(list.position));
    REQUIRE(selection == UndefinedSelection || (selection >= 1 && selection < list.count));
  }

  void CheckWrites() {
    for (; writesChecked_ < socket_.writes.size(); ++writesChecked_) {
      CheckWellFramed(socket_.writes[writesChecked_]);
    }
  }

  static void CheckWellFramed(const std::string& message) {
    REQUIRE(!message.empty());
    const auto command = static_cast<unsigned char>(message[0]);
    if (message.size() == 1) {
      REQUIRE(command == msg::kLinkUp || command == msg::kPoll);
      return;
    }
    switch (command) {
      case msg::kTypeRequest:
        REQUIRE(message == msg::kTypeAnswer);
        break;
      case msg::kInfoRequest:
        REQUIRE(message.size() == msg::kInfoRequestLength);
        break;
      case msg::kChannel:
        REQUIRE(message.size() == msg::kChannelCommandLength);
        break;
      default:
        REQUIRE(!"a command the panel never sends");
    }
    for (std::size_t i = 1; i + 1 < message.size(); ++i) {
      REQUIRE(!msg::IsCommandByte(static_cast<unsigned char>(message[i])));
    }
    REQUIRE(ChecksumMatches(message));
    REQUIRE(static_cast<unsigned char>(message.back()) == kEOM);
  }

  std::string_view plan_;
  std::string_view payload_;
  int floods_ = 0;
  std::pair<std::size_t, std::size_t> waitingChecked_{0, 0};  // consumed count, buffer size
  std::size_t writesChecked_ = 0;

  Variables v_;
  RecordingSocket socket_{v_, GivenBytes()};
  ListWindow window_{v_};
  RecordingReporter log_;
  TCPComm comm_{v_, socket_, window_, window_, log_};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t planLength = std::min<std::size_t>(data[0] & 0x1F, size - 1);
  Harness harness(input.substr(1, planLength), input.substr(1 + planLength), data[0] >> 5);
  harness.Run();
  return 0;
}
