// Whatever "qevntpnl.ini" holds: reading it either fails (the window's load handler reports
// that) or leaves every setting within its rule, re-times the poll timer and applies the
// window order. What was read is then written back and read again, which gives the same
// settings, except where the reader cuts a written value: a port of more than five digits
// (which only a number like 1e9 in the file gives), and a text whose written form holds a
// comma or a line end (which a quoted entry can bring in).

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "Require.h"
#include "app/Variables.h"
#include "setup/Failure.h"
#include "setup/Procedures.h"
#include "support/Fakes.h"

namespace fs = std::filesystem;

namespace {

// The program folder: one per process, removed when the run ends. Never freed, so it is still
// there when the exit handler removes it.
const std::string& Folder() {
  static const std::string* const folder = [] {
    const fs::path path =
        fs::temp_directory_path() / ("qevntpnl-inifuzz-" + std::to_string(::getpid()));
    fs::create_directories(path);
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(Folder(), ignored);
    });
    return new std::string(path.string() + "/");
  }();
  return *folder;
}

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  REQUIRE(file.good());
}

struct Panel {
  Panel() { ProgramSetup(vars, window, log, {Folder()}); }
  Variables vars;
  FakeWindow window;
  RecordingReporter log;
};

void CheckSettings(const Panel& p) {
  const Variables& v = p.vars;
  REQUIRE(v.ServerAddress.size() <= 25);
  REQUIRE(v.ServerPort >= 1);
  REQUIRE(v.SelectedSource >= 0);
  REQUIRE(v.SelectedConsole >= 0);
  REQUIRE(v.StayOnTopMode == kTopmost || v.StayOnTopMode == kNotTopmost);
  REQUIRE(v.RefreshRate >= 1 && v.RefreshRate <= 32500);
  REQUIRE(v.TimeOut >= 1 && v.TimeOut <= 3600);
  REQUIRE(v.UserName.size() <= 5);
  REQUIRE(v.Password.size() <= 5);
  REQUIRE(v.PollInterval == v.RefreshRate * 20);
  REQUIRE(p.window.pollTimerInterval == v.PollInterval);
  REQUIRE(!p.window.windowOrders.empty() && p.window.windowOrders.back() == v.StayOnTopMode);
}

// A value is read up to a comma or a line end; a quoted entry can bring both into a value.
bool CutWhenRead(const std::string& value) {
  return value.find_first_of(",\r\n") != std::string::npos;
}

// The password as the file holds it: each character's code raised by its position.
std::string Scrambled(const std::string& password) {
  std::string stored;
  for (std::size_t i = 0; i < password.size(); ++i) {
    stored.push_back(static_cast<char>(static_cast<unsigned char>(password[i]) + i + 1));
  }
  return stored;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = Folder() + kIniFileName;
  WriteFile(path, data, size);

  Panel first;
  try {
    REQUIRE(ReadIniFile(first.vars, first.window, first.window));
  } catch (const Failure&) {
    return 0;  // the load handler's to report
  }
  CheckSettings(first);

  if (!WriteIniFile(first.vars, first.log)) return 0;
  Panel second;
  try {
    REQUIRE(ReadIniFile(second.vars, second.window, second.window));
  } catch (const Failure& failure) {
    std::fprintf(stderr, "reading the written file failed: %s\n", failure.what());
    REQUIRE(!"a written file reads back");
  }
  CheckSettings(second);
  const Variables& a = first.vars;
  const Variables& b = second.vars;
  if (!CutWhenRead(a.ServerAddress)) {
    REQUIRE(b.ServerAddress == (a.ServerAddress.empty() ? "127.0.0.1" : a.ServerAddress));
  }
  if (a.ServerPort <= 99999) REQUIRE(b.ServerPort == a.ServerPort);
  REQUIRE(b.SelectedSource == a.SelectedSource);
  REQUIRE(b.SelectedConsole == a.SelectedConsole);
  REQUIRE(b.StayOnTopMode == a.StayOnTopMode);
  REQUIRE(b.RefreshRate == a.RefreshRate);
  REQUIRE(b.TimeOut == a.TimeOut);
  if (!CutWhenRead(a.UserName)) REQUIRE(b.UserName == a.UserName);
  if (!CutWhenRead(Scrambled(a.Password))) REQUIRE(b.Password == a.Password);
  return 0;
}
