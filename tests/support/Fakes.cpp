#include "support/Fakes.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "setup/Failure.h"

void FakeWindow::SetButtonColour(ChannelButton button, std::uint32_t bgr) {
  (button == ChannelButton::On    ? onColour
   : button == ChannelButton::Off ? offColour
                                  : cueColour) = bgr;
}

void FakeWindow::ShowLinkState(LinkState state, const std::string& address, std::int32_t port) {
  const char* word = state == LinkState::SwitcherUp   ? "up "
                     : state == LinkState::ServerOnly ? "server "
                                                      : "none ";
  linkStates.push_back(word + address + ":" + std::to_string(port));
}

int FakeSocket::Connect() {
  calls.push_back("connect");
  return connectStatus;
}
void FakeSocket::Disconnect() {
  calls.push_back("disconnect");
  connected = false;
}

std::int32_t FakeSocket::Write(const char* bytes, std::int32_t length) {
  const std::string data(bytes, static_cast<std::size_t>(length));
  if (recordEachWrite) {
    calls.push_back("write");
    writes.push_back(data);
  }
  if (!writeAnswers.empty()) {
    const WriteAnswer answer = writeAnswers.front();
    writeAnswers.pop_front();
    if (answer.count != -1) {
      lastError = answer.error;
      bytesTaken = answer.taken;
      return answer.count;
    }
  }
  wire += data;
  bytesTaken = static_cast<std::int16_t>(length);
  return length;
}

std::int32_t FakeSocket::Read(char* area, std::int32_t maxLength) {
  readMaxima.push_back(maxLength);
  if (incoming.empty()) {
    lastError = errorWhenEmpty;
    return 0;
  }
  std::string& chunk = incoming.front();
  const std::size_t n = std::min<std::size_t>(chunk.size(), static_cast<std::size_t>(maxLength));
  std::memcpy(area, chunk.data(), n);
  chunk.erase(0, n);
  if (chunk.empty()) incoming.pop_front();
  return static_cast<std::int32_t>(n);
}

void RecordingReporter::ReportError(std::string_view message, std::string_view location) {
  Report report{std::string(message), std::string(location), 0, ""};
  try {
    if (std::exception_ptr current = std::current_exception()) std::rethrow_exception(current);
  } catch (const Failure& failure) {
    report.code = failure.Code();
    report.description = failure.Description();
  } catch (const std::exception& other) {
    report.code = -1;
    report.description = other.what();
  } catch (...) {
    report.code = -1;
  }
  reports.push_back(report);
}

bool RecordingReporter::Has(std::string_view message, std::string_view location) const {
  return std::any_of(reports.begin(), reports.end(), [&](const Report& r) {
    return r.message == message && r.location == location;
  });
}

std::vector<std::string> RecordingReporter::Texts() const {
  std::vector<std::string> texts;
  for (const Report& r : reports) texts.push_back(r.location + ": " + r.message);
  return texts;
}
