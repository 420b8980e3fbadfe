#pragma once

#include <string>
#include <string_view>

#include "app/Variables.h"
#include "setup/ErrorReporter.h"

// A moment of local time, as the log stamps it.
struct LocalDateTime {
  int year = 2000;  // full year
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int hour = 0;     // 0..23
  int minute = 0;
  int second = 0;
};

// The clock and the system's general date-time text (short date, a blank, long time; the date
// alone at exactly midnight). Replaceable so tests control both.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime Now() const = 0;
  virtual std::string GeneralDateTime(const LocalDateTime& when) const = 0;
};

// The local clock, rendered with the C library's locale-dependent date (%x) and time (%X).
class SystemClock : public Clock {
 public:
  LocalDateTime Now() const override;
  std::string GeneralDateTime(const LocalDateTime& when) const override;
};

// "Errorlog.txt" in the program folder: one line per report, archived at 1,024,000 bytes.
class ErrorLog : public ErrorReporter {
 public:
  static constexpr long long kArchiveSize = 1024000;

  ErrorLog(const Variables& vars, const Clock& clock) : v_(vars), clock_(clock) {}

  void ReportError(std::string_view message, std::string_view location) override;
  void WriteErrorFile(std::string_view text, std::string_view location);
  void CreateErrorFile();

 private:
  const Variables& v_;
  const Clock& clock_;
  int depth_ = 0;  // a failed report of a failed report is dropped, never repeated
};
