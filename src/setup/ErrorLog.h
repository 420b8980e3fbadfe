#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

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

// The local clock. Its text is the user's short date and long time as Windows renders them on
// Windows, and the C library's locale-dependent date (%x) and time (%X) elsewhere.
class SystemClock : public Clock {
 public:
  LocalDateTime Now() const override;
  std::string GeneralDateTime(const LocalDateTime& when) const override;
};

#if defined(_WIN32)
// The general date-time text as Windows renders it for a locale (the user's own when null) in
// the system's code page; empty when Windows cannot render it.
std::string WindowsDateTime(const LocalDateTime& when, const wchar_t* locale);
#endif

// "Errorlog.txt" in the program folder: one line per report. At 1,024,000 bytes it is moved
// aside under the minute's name and a new log begins; a log that cannot be moved (another
// program holds it) goes on growing, and the move is tried again once a minute.
//
// A server with a fault can make the same handler fail thousands of times a second. The log
// stays readable and the disk safe, and every report is still accounted for:
// - a report just like the last line written (same location, message, code and description)
//   within kRepeatSeconds is counted, and the count follows as one line, "Last report repeated
//   N times", when another report comes, when the window has passed (at the next report or
//   Tick), or when the log is destroyed;
// - beyond kLineBudget bytes of lines in one minute, reports are counted per location and
//   message and summarised, one line each, once the minute is over.
// So the log and its archives grow by at most 64 KB a minute under any mix of reports.
class ErrorLog : public ErrorReporter {
 public:
  static constexpr long long kArchiveSize = 1024000;
  static constexpr long long kRepeatSeconds = 10;
  // Full lines per minute; the summaries and a new log's header stay within the rest of 64 KB.
  static constexpr std::size_t kLineBudget = 48 * 1024;

  ErrorLog(const Variables& vars, const Clock& clock) : v_(vars), clock_(clock) {}
  ~ErrorLog() override;
  ErrorLog(const ErrorLog&) = delete;
  ErrorLog& operator=(const ErrorLog&) = delete;

  void ReportError(std::string_view message, std::string_view location) override;
  void WriteErrorFile(std::string_view text, std::string_view location);
  void CreateErrorFile();
  // Writes what has been held back once its window or its minute is over.
  void Tick() override;

 private:
  struct Held {
    std::string location;
    std::string message;
    long long count = 0;
  };

  bool AppendLine(const LocalDateTime& when, std::string_view text, std::string_view location);
  // Archives the full log under this minute's name, if it can be moved and the name is free.
  void MoveAside(const std::filesystem::path& logPath);
  // Takes a line's bytes from this minute's budget; false when it is spent.
  bool Spend(std::string_view text, std::string_view location);
  void Settle(const LocalDateTime& when, bool everything);
  void WriteRepeatCount(const LocalDateTime& when);
  void WriteSummaries(const LocalDateTime& when);
  void CountOver(const LocalDateTime& when, std::string_view location, std::string_view message,
                 long long count);

  const Variables& v_;
  const Clock& clock_;
  int depth_ = 0;  // a failed report of a failed report is dropped, never repeated

  // The last full line written, and how often it came again since without being written.
  bool haveLast_ = false;
  std::string lastLocation_;
  std::string lastMessage_;
  std::string lastText_;
  long long lastSecond_ = 0;
  long long repeats_ = 0;

  // This minute's spending, and what it could not write.
  long long minute_ = -1;
  std::size_t spent_ = 0;
  std::string overMinuteText_;  // "HH:MM" of the minute the counts belong to
  std::vector<Held> over_;

  long long archiveMinute_ = -1;  // the minute the full log was last tried to be moved aside
  bool moveFailureSaid_ = false;  // the log has said that it cannot be moved aside
};
