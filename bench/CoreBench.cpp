// Throughput of the panel's core: framing primitives, the dispatcher for each kind of message
// the server sends, draining a queued burst, the channel command, a full name table, and the
// configuration file. Single-threaded, so every rate here is per core.
//
//   build-bench/bench/qev-bench-core --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "BenchMessages.h"
#include "app/SelectorLists.h"
#include "app/Variables.h"
#include "protocol/ByteManipulation.h"
#include "protocol/ChannelStates.h"
#include "protocol/TCPComm.h"
#include "setup/Procedures.h"
#include "support/Fakes.h"

namespace {

using bench::AlphaTable;
using bench::kFullTableCount;
using bench::kLongestName;

// A connected socket that takes every write whole and only counts the bytes. The tests'
// FakeSocket keeps a copy of every write, which would measure its own bookkeeping and grow
// without bound over millions of iterations.
class SinkSocket : public SocketComponent {
 public:
  void SetRemoteHost(const std::string&) override {}
  void SetRemotePort(std::int32_t) override {}
  int Connect() override { return 0; }
  void RequestClose() override {}
  void Disconnect() override {}
  bool IsConnected() const override { return true; }
  std::int32_t Write(const char*, std::int32_t length) override {
    bytesWritten += length;
    bytesTaken_ = static_cast<std::int16_t>(length);
    return length;
  }
  std::int16_t BytesTaken() const override { return bytesTaken_; }
  std::int32_t Read(char*, std::int32_t) override { return 0; }
  std::int16_t LastError() const override { return kWouldBlock; }
  void ResumeDataArrival() override {}

  std::int64_t bytesWritten = 0;

 private:
  std::int16_t bytesTaken_ = 0;
};

// The link as the running panel has it after the server came up: socket connected, the link
// shown up, source 3 on console 5 chosen.
struct Link {
  Link() {
    vars.SocketConnected = kTrue;
    vars.SwitcherConnected = kTrue;
    vars.SelectedSource = 3;
    vars.SelectedConsole = 5;
  }
  Variables vars;
  SinkSocket socket;
  FakeWindow window;
  RecordingReporter log;
  TCPComm comm{vars, socket, window, window, log};
};

// bench/instructions counts instructions under callgrind and needs the same number of calls
// on every run; the library would pick it by the clock. QEV_BENCH_ITERATIONS fixes it for the
// paths that script counts.
void FixedIterations(benchmark::internal::Benchmark* benchmark) {
  if (const char* count = std::getenv("QEV_BENCH_ITERATIONS")) {
    benchmark->Iterations(std::atoll(count));
  }
}

// The report of the chosen channel (source 3, console 5: 2 and 4 on the wire) switched on.
ByteString ChannelReport() {
  return bench::ChannelReport(2, 4, msg::kOn);
}

enum class Kind { ServerPoll, LinkUp, TypeRequest, SwitcherType, ChannelReport, SmallTable };

ByteString MessageOf(Kind kind) {
  switch (kind) {
    case Kind::ServerPoll:
      return ByteString(msg::kPollMessage);
    case Kind::LinkUp:
      return ByteString(msg::kLinkUpMessage);
    case Kind::TypeRequest:
      return msg::TypeRequest();
    case Kind::SwitcherType:
      return msg::SwitcherType(133);
    case Kind::ChannelReport:
      return ChannelReport();
    case Kind::SmallTable:
      return msg::AlphaTable(msg::kInputTable, 4, {"Mic1", "Mic2"});
  }
  return {};
}

// ---------------------------------------------------------------------------------------------
// Framing primitives

void BM_CalcChecksum(benchmark::State& state) {
  const ByteString message = state.range(0) == 0
                                 ? ChannelReport()
                                 : AlphaTable(bench::kInputTable, kLongestName, kFullTableCount);
  for (auto _ : state) {
    benchmark::DoNotOptimize(CalcChecksum(message, 2));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(message.size()));
  state.SetLabel(state.range(0) == 0 ? "11-byte channel report" : "2,113,416-byte table");
}
BENCHMARK(BM_CalcChecksum)->Arg(0)->Arg(1);

// A small message arriving in an empty buffer: the append and the scan to its EOM.
void BM_FindEOM_SmallMessage(benchmark::State& state) {
  const ByteString message = ChannelReport();
  ReceiveBuffer buffer;
  for (auto _ : state) {
    buffer.Clear();
    buffer.Append(message);
    benchmark::DoNotOptimize(FindEOM(buffer));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindEOM_SmallMessage);

// One scan over a full table waiting whole in the buffer.
void BM_FindEOM_FullTable(benchmark::State& state) {
  const ByteString table = AlphaTable(bench::kInputTable, kLongestName, kFullTableCount);
  ReceiveBuffer buffer;
  for (auto _ : state) {
    state.PauseTiming();
    buffer.Clear();
    buffer.Append(table);  // a fresh buffer has scanned nothing yet
    state.ResumeTiming();
    benchmark::DoNotOptimize(FindEOM(buffer));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(table.size()));
}
BENCHMARK(BM_FindEOM_FullTable)->Unit(benchmark::kMicrosecond);

// A full table arriving in TCP segments of 1460 bytes, with a look for its EOM after each one,
// as the data-arrival handler and the decode timer do. Linear in the table's size: the bytes
// already searched are never searched again.
void BM_FindEOM_TableArrivingInSegments(benchmark::State& state) {
  constexpr std::size_t kSegment = 1460;
  const ByteString table = AlphaTable(bench::kInputTable, kLongestName, kFullTableCount);
  ReceiveBuffer buffer;
  std::int64_t looks = 0;
  for (auto _ : state) {
    buffer.Clear();
    for (std::size_t at = 0; at < table.size(); at += kSegment) {
      buffer.Append(std::string_view(table).substr(at, kSegment));
      benchmark::DoNotOptimize(FindEOM(buffer));
      ++looks;
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(table.size()));
  state.counters["looks"] =
      benchmark::Counter(static_cast<double>(looks), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FindEOM_TableArrivingInSegments)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------------------------
// The dispatcher, one message per call, for each kind of message: the message is appended to
// the receive buffer and one dispatcher call takes it off and handles it.

void BM_Dispatch(benchmark::State& state, Kind kind) {
  const ByteString message = MessageOf(kind);
  Link link;
  for (auto _ : state) {
    link.vars.ReceiveBuffer.Append(message);
    link.comm.ProcessReceiveBuffer();
  }
  if (!link.vars.ReceiveBuffer.empty() || !link.log.reports.empty()) {
    state.SkipWithError("the dispatcher left bytes behind or reported a failure");
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(message.size()));
}
BENCHMARK_CAPTURE(BM_Dispatch, F5_server_poll, Kind::ServerPoll)->Apply(FixedIterations);
BENCHMARK_CAPTURE(BM_Dispatch, F4_link_up, Kind::LinkUp)->Apply(FixedIterations);
BENCHMARK_CAPTURE(BM_Dispatch, 81_type_request, Kind::TypeRequest)->Apply(FixedIterations);
BENCHMARK_CAPTURE(BM_Dispatch, E5_switcher_type, Kind::SwitcherType)->Apply(FixedIterations);
BENCHMARK_CAPTURE(BM_Dispatch, D6_channel_report, Kind::ChannelReport)->Apply(FixedIterations);
BENCHMARK_CAPTURE(BM_Dispatch, FC_small_table, Kind::SmallTable)->Apply(FixedIterations);

// A burst of N small messages queued at once, drained one dispatcher call per message as the
// decode timer does. Time per message must not grow with N: taking a message off the front
// never copies the rest of the buffer.
void BM_DrainQueued(benchmark::State& state, Kind kind) {
  const auto count = static_cast<std::int64_t>(state.range(0));
  const ByteString message = MessageOf(kind);
  ByteString burst;
  burst.reserve(message.size() * static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i) burst += message;

  Link link;
  for (auto _ : state) {
    state.PauseTiming();
    link.vars.ReceiveBuffer.Clear();
    link.vars.ReceiveBuffer.Append(burst);
    state.ResumeTiming();
    std::int64_t calls = 0;
    while (!link.vars.ReceiveBuffer.empty() && calls < count) {
      link.comm.ProcessReceiveBuffer();
      ++calls;
    }
    if (calls != count || !link.vars.ReceiveBuffer.empty()) {
      state.SkipWithError("the burst did not drain one message per call");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.SetComplexityN(count);
}
BENCHMARK_CAPTURE(BM_DrainQueued, D6_channel_reports, Kind::ChannelReport)
    ->Apply(FixedIterations)
    ->Arg(1000)
    ->Arg(100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_DrainQueued, F4_link_up, Kind::LinkUp)
    ->Arg(1000)
    ->Arg(100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------------------------
// The channel command a press of ON sends, built and written to the socket.

void BM_SendChannelOnOff(benchmark::State& state) {
  Link link;
  for (auto _ : state) {
    link.comm.SendChannelOnOff(200, 1, 127, 300);
  }
  if (link.socket.bytesWritten != state.iterations() * 11 || !link.log.reports.empty()) {
    state.SkipWithError("not every command went out whole");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SendChannelOnOff)->Apply(FixedIterations);

// ---------------------------------------------------------------------------------------------
// Channel reports as a server sends them on connecting, 127 entries each, every entry naming a
// channel of its own: each is remembered for a later change of channel. 38,100 channels (every
// console of 150 sources), all kept: per entry, the cost of a channel seen again.

void BM_ChannelReportEntries(benchmark::State& state) {
  constexpr int kEntries = 127;
  constexpr int kReports = 300;
  std::vector<ByteString> reports;
  for (int r = 0; r < kReports; ++r) {
    std::vector<msg::ChannelEntry> entries;
    for (int e = 0; e < kEntries; ++e) {
      const int channel = r * kEntries + e;
      entries.push_back({channel / 256, channel % 256, channel % 2 == 0 ? msg::kOn : msg::kOff});
    }
    reports.push_back(msg::ChannelReport(entries));
  }
  Link link;
  for (auto _ : state) {
    for (const ByteString& report : reports) link.comm.ProcessChannelOnOff(report);
  }
  if (!link.log.reports.empty()) state.SkipWithError("a report failed");
  state.counters["channels_kept"] = static_cast<double>(link.comm.channelStates().ChannelCount());
  state.SetItemsProcessed(state.iterations() * kReports * kEntries);
}
BENCHMARK(BM_ChannelReportEntries)->Unit(benchmark::kMillisecond);

// The memory after a flood naming N different channels: bytes_held stays bounded whatever N.
void BM_ChannelStatesFlood(benchmark::State& state) {
  const auto channels = static_cast<std::int32_t>(state.range(0));
  ChannelStates states;
  for (auto _ : state) {
    states.Clear();
    for (std::int32_t i = 0; i < channels; ++i) states.Remember(i / 16384, i % 16384, msg::kOn);
    benchmark::DoNotOptimize(states.ChannelCount());
  }
  state.counters["channels_kept"] = static_cast<double>(states.ChannelCount());
  state.counters["bytes_held"] = static_cast<double>(states.BytesHeld());
  state.SetItemsProcessed(state.iterations() * channels);
}
BENCHMARK(BM_ChannelStatesFlood)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------------------------
// Name tables

// A full input table decoded and installed (the fake window's refill only counts).
void BM_ProcessAlphaTable_Full(benchmark::State& state) {
  const ByteString table = AlphaTable(bench::kInputTable, kLongestName, kFullTableCount);
  Link link;
  for (auto _ : state) {
    link.comm.ProcessAlphaTable(table);
  }
  if (link.vars.InputCount != kFullTableCount || !link.log.reports.empty()) {
    state.SkipWithError("the table was not installed");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(table.size()));
  state.SetLabel(std::to_string(table.size()) + " bytes");
}
BENCHMARK(BM_ProcessAlphaTable_Full)->Apply(FixedIterations)->Unit(benchmark::kMillisecond);

// Tables of 127-character names, 1024 to 16383 of them: decoding is one pass, linear in size.
void BM_ProcessAlphaTable_BySize(benchmark::State& state) {
  const auto count = static_cast<std::int32_t>(state.range(0));
  const ByteString table = AlphaTable(bench::kInputTable, kLongestName, count);
  Link link;
  for (auto _ : state) {
    link.comm.ProcessAlphaTable(table);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(table.size()));
  state.SetComplexityN(static_cast<std::int64_t>(table.size()));
}
BENCHMARK(BM_ProcessAlphaTable_BySize)
    ->Arg(1024)
    ->Arg(4096)
    ->Arg(kFullTableCount)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// What the core does between a full table's EOM arriving and the window showing its list:
// the dispatcher takes the table off the buffer, decodes and installs it, and the Source list
// over it finds the entry to select. Entries are built only as the list draws them, and the Qt
// side is missing here (see qev-bench-latency).
void BM_FullTableToSourceList(benchmark::State& state) {
  const ByteString table = AlphaTable(bench::kInputTable, kLongestName, kFullTableCount);
  Link link;
  int count = 0;
  for (auto _ : state) {
    state.PauseTiming();
    link.vars.ReceiveBuffer.Append(table);
    state.ResumeTiming();
    link.comm.ProcessReceiveBuffer();
    const SelectorList list = SelectorList::Source(link.vars);
    benchmark::DoNotOptimize(list.Position());
    count = list.Count();
  }
  if (count != kFullTableCount + 1 || !link.vars.ReceiveBuffer.empty()) {
    state.SkipWithError("the table did not reach the list");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(table.size()));
}
BENCHMARK(BM_FullTableToSourceList)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------------------------
// The configuration file, in a folder of its own under the system's temporary folder.

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qev-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  bool ok() const { return !path_.empty(); }
  std::string WithSeparator() const { return path_ + "/"; }

 private:
  std::string path_;
};

Variables TypicalSettings(const std::string& folder) {
  Variables vars;
  vars.AppFolder = folder;
  vars.ServerAddress = "192.168.10.20";
  vars.ServerPort = 1250;
  vars.SelectedSource = 12;
  vars.SelectedConsole = 3;
  vars.UserName = "desk";
  vars.Password = "abc";
  return vars;
}

void BM_WriteIniFile(benchmark::State& state) {
  TempFolder folder;
  if (!folder.ok()) {
    state.SkipWithError("no temporary folder");
    return;
  }
  Variables vars = TypicalSettings(folder.WithSeparator());
  RecordingReporter log;
  for (auto _ : state) {
    benchmark::DoNotOptimize(WriteIniFile(vars, log));
  }
  if (!log.reports.empty()) state.SkipWithError("writing failed");
}
BENCHMARK(BM_WriteIniFile)->Unit(benchmark::kMicrosecond);

void BM_ReadIniFile(benchmark::State& state) {
  TempFolder folder;
  if (!folder.ok()) {
    state.SkipWithError("no temporary folder");
    return;
  }
  RecordingReporter log;
  Variables written = TypicalSettings(folder.WithSeparator());
  if (!WriteIniFile(written, log)) {
    state.SkipWithError("writing failed");
    return;
  }
  Variables vars;
  vars.AppFolder = folder.WithSeparator();
  FakeWindow window;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ReadIniFile(vars, window, window));
    window.windowOrders.clear();
  }
  if (vars.ServerAddress != "192.168.10.20") state.SkipWithError("read back wrong");
}
BENCHMARK(BM_ReadIniFile)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
