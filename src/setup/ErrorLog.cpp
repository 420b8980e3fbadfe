#include "setup/ErrorLog.h"

#include <algorithm>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <system_error>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "setup/CallScope.h"
#include "setup/Failure.h"
#include "setup/FilePath.h"
#include "setup/FileSystem.h"
#include "setup/Procedures.h"

namespace fs = std::filesystem;

namespace {

// Codes for failures that did not come from the panel's own checks.
constexpr std::int32_t kOutOfMemory = 7;
constexpr std::int32_t kInternalError = 51;

constexpr std::size_t kLocationColumn = 24;
constexpr std::size_t kMessageColumn = 60;
const char* const kLineEnd = "\r\n";

// Who built the panel, for whoever reads a log sent in from the field.
const char* const kMakerName[] = {"QUILLMOOR", "SIGNAL", "WORKS"};
const char* const kMakerStreet = "4127 Larkspur Ridge Road";
const char* const kMakerCity = "Fernhollow, OR 97999";
const char* const kMakerPhone = "(541) 555-0142";
const char* const kMakerWeb = "www.quillmoor.example";

// The maker's name as a spaced banner: letters one blank apart, 4 blanks after the first word,
// 5 after the second.
std::string MakerBanner() {
  std::string banner(13, ' ');
  const std::size_t gaps[] = {4, 5};
  for (std::size_t w = 0; w < 3; ++w) {
    const std::string word = kMakerName[w];
    for (std::size_t i = 0; i < word.size(); ++i) {
      if (i > 0) banner += ' ';
      banner += word[i];
    }
    if (w < 2) banner.append(gaps[w], ' ');
  }
  return banner;
}

void PadTo(std::string& line, std::size_t column) {
  if (line.size() < column) line.append(column - line.size(), ' ');
}

std::string TwoDigits(int value) {
  const int v = ((value % 100) + 100) % 100;
  return std::string{static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

// "Errorlog MMDDYY HHMM.txt", the second MM being minutes.
std::string ArchiveName(const LocalDateTime& when) {
  return "Errorlog " + TwoDigits(when.month) + TwoDigits(when.day) + TwoDigits(when.year) + " " +
         TwoDigits(when.hour) + TwoDigits(when.minute) + ".txt";
}

[[noreturn]] void ThrowFileFailure(const std::error_code& error) {
  throw Failure(kFileAccess, "Path/File access error: " + error.message());
}

// The code and description of the failure being handled right now.
void CurrentFailure(std::int32_t& code, std::string& description) {
  code = 0;
  description.clear();
  const std::exception_ptr current = std::current_exception();
  if (!current) return;
  try {
    std::rethrow_exception(current);
  } catch (const Failure& failure) {
    code = failure.Code();
    description = failure.Description();
  } catch (const fs::filesystem_error& error) {
    code = kFileAccess;
    description = error.what();
  } catch (const std::bad_alloc& error) {
    code = kOutOfMemory;
    description = error.what();
  } catch (const std::exception& error) {
    code = kInternalError;
    description = error.what();
  } catch (...) {
    code = kInternalError;
    description = "Unknown error";
  }
}

// Seconds since 1 January 1970 of a local time, for measuring windows between reports; a clock
// that is set back simply starts a new window.
long long SecondsOf(const LocalDateTime& when) {
  // Days from the civil date (proleptic Gregorian calendar).
  const int y = when.year - (when.month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yearOfEra = y - era * 400;
  const int monthFromMarch = when.month + (when.month > 2 ? -3 : 9);
  const int dayOfYear = (153 * monthFromMarch + 2) / 5 + when.day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const long long days = static_cast<long long>(era) * 146097 + dayOfEra - 719468;
  return ((days * 24 + when.hour) * 60 + when.minute) * 60 + when.second;
}

std::string Plural(long long count, const char* one, const char* many) {
  return std::to_string(count) + (count == 1 ? one : many);
}

}  // namespace

LocalDateTime SystemClock::Now() const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return LocalDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                       local.tm_hour,        local.tm_min,     local.tm_sec};
}

#if defined(_WIN32)

namespace {

// The 8-bit text of the system's code page, as the log is written.
std::string CodePageText(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(std::max(length, 0)), '\0');
  if (length > 0) {
    WideCharToMultiByte(CP_ACP, 0, text.data(), size, bytes.data(), length, nullptr, nullptr);
  }
  return bytes;
}

}  // namespace

std::string WindowsDateTime(const LocalDateTime& when, const wchar_t* locale) {
  SYSTEMTIME moment{};
  moment.wYear = static_cast<WORD>(when.year);
  moment.wMonth = static_cast<WORD>(when.month);
  moment.wDay = static_cast<WORD>(when.day);
  moment.wHour = static_cast<WORD>(when.hour);
  moment.wMinute = static_cast<WORD>(when.minute);
  moment.wSecond = static_cast<WORD>(when.second);
  wchar_t date[128];
  wchar_t time[128];
  if (GetDateFormatEx(locale, DATE_SHORTDATE, &moment, nullptr, date, 128, nullptr) == 0) {
    return {};
  }
  std::wstring text = date;
  if (when.hour != 0 || when.minute != 0 || when.second != 0) {
    if (GetTimeFormatEx(locale, 0, &moment, nullptr, time, 128) == 0) return {};
    text += L' ';
    text += time;
  }
  return CodePageText(text);
}

#endif

std::string SystemClock::GeneralDateTime(const LocalDateTime& when) const {
#if defined(_WIN32)
  // The C library on Windows knows only its own "C" rendering (03/17/20 14:05:09), whatever
  // the user has chosen; Windows itself renders the user's short date and long time.
  std::string rendered = WindowsDateTime(when, LOCALE_NAME_USER_DEFAULT);
  if (!rendered.empty()) return rendered;
#endif
  std::tm moment{};
  moment.tm_year = when.year - 1900;
  moment.tm_mon = when.month - 1;
  moment.tm_mday = when.day;
  moment.tm_hour = when.hour;
  moment.tm_min = when.minute;
  moment.tm_sec = when.second;
  moment.tm_isdst = -1;
  // Some locales name the weekday in their date; let the C library work it out on a copy, so
  // a DST gap can never shift the fields shown.
  std::tm normalised = moment;
  if (std::mktime(&normalised) != static_cast<std::time_t>(-1)) {
    moment.tm_wday = normalised.tm_wday;
    moment.tm_yday = normalised.tm_yday;
  }
  const bool midnight = when.hour == 0 && when.minute == 0 && when.second == 0;
  char text[128];
  const std::size_t length = std::strftime(text, sizeof text, midnight ? "%x" : "%x %X", &moment);
  return std::string(text, length);
}

ErrorLog::~ErrorLog() {
  // Shutdown: whatever is still held back is written now, so nothing goes unaccounted for.
  try {
    Settle(clock_.Now(), true);
  } catch (...) {
    // A log that cannot be written at shutdown has nowhere left to say so.
  }
}

void ErrorLog::ReportError(std::string_view message, std::string_view location) {
  std::int32_t code = 0;
  std::string description;
  CurrentFailure(code, description);
  std::string text(message);
  text += ": Error # ";
  text += std::to_string(code);
  text += " - ";
  text += description;

  const LocalDateTime now = clock_.Now();
  Settle(now, false);
  const long long since = SecondsOf(now) - lastSecond_;
  if (haveLast_ && text == lastText_ && location == lastLocation_ && since >= 0 &&
      since < kRepeatSeconds) {
    ++repeats_;
    return;
  }
  if (repeats_ > 0) WriteRepeatCount(now);
  if (!Spend(text, location)) {
    CountOver(now, location, message, 1);
    return;
  }
  if (AppendLine(now, text, location)) {
    haveLast_ = true;
    lastLocation_ = location;
    lastMessage_ = message;
    lastText_ = std::move(text);
    lastSecond_ = SecondsOf(now);
  }
}

void ErrorLog::Tick() {
  if (repeats_ > 0 || !over_.empty()) Settle(clock_.Now(), false);
}

void ErrorLog::Settle(const LocalDateTime& when, bool everything) {
  const long long second = SecondsOf(when);
  if (repeats_ > 0) {
    const long long since = second - lastSecond_;
    if (everything || since >= kRepeatSeconds || since < 0) WriteRepeatCount(when);
  }
  const long long minute = second / 60;
  if (minute != minute_ || everything) {
    minute_ = minute;
    spent_ = 0;
    WriteSummaries(when);
  }
}

void ErrorLog::WriteRepeatCount(const LocalDateTime& when) {
  // Taken first: the line's own failure is reported through here again.
  const long long count = repeats_;
  repeats_ = 0;
  haveLast_ = false;  // the count is now the last line, so the next report is written whole
  const std::string location = lastLocation_;
  const std::string message = lastMessage_;
  const std::string text = "Last report repeated " + Plural(count, " time", " times");
  if (Spend(text, location)) {
    AppendLine(when, text, location);
  } else {
    CountOver(when, location, message, count);
  }
}

void ErrorLog::CountOver(const LocalDateTime& when, std::string_view location,
                         std::string_view message, long long count) {
  if (over_.empty()) overMinuteText_ = TwoDigits(when.hour) + ":" + TwoDigits(when.minute);
  for (Held& held : over_) {
    if (held.location == location && held.message == message) {
      held.count += count;
      return;
    }
  }
  over_.push_back(Held{std::string(location), std::string(message), count});
}

void ErrorLog::WriteSummaries(const LocalDateTime& when) {
  if (over_.empty()) return;
  // One line per location and message: the panel has a few dozen of them at most.
  std::vector<Held> held;
  held.swap(over_);
  const std::string minute = overMinuteText_;
  for (const Held& h : held) {
    const std::string text = h.message + ": " + Plural(h.count, " more report", " more reports") +
                             " in minute " + minute + ", over the log's limit";
    spent_ += kMessageColumn + text.size() + 2;
    AppendLine(when, text, h.location);
  }
}

bool ErrorLog::Spend(std::string_view text, std::string_view location) {
  if (spent_ >= kLineBudget) return false;
  // Spent even when the write then fails: an unwritable log is not tried more often either.
  spent_ += std::max(kLocationColumn + location.size(), kMessageColumn) + text.size() + 2;
  return true;
}

void ErrorLog::WriteErrorFile(std::string_view text, std::string_view location) {
  AppendLine(clock_.Now(), text, location);
}

bool ErrorLog::AppendLine(const LocalDateTime& when, std::string_view text,
                          std::string_view location) {
  try {
    std::string line = clock_.GeneralDateTime(when);
    PadTo(line, kLocationColumn);
    line += location;
    PadTo(line, kMessageColumn);
    line += text;
    line += kLineEnd;

    const fs::path logPath = FilePath(v_.AppFolder + kErrorLogName);
    std::error_code error;
    const bool exists = fs::exists(logPath, error);
    if (error) ThrowFileFailure(error);
    std::uintmax_t size = 0;
    if (exists) {
      size = fs::file_size(logPath, error);
      if (error) ThrowFileFailure(error);
    }

    if (size >= static_cast<std::uintmax_t>(kArchiveSize)) MoveAside(logPath);

    if (!fs::exists(logPath, error)) CreateErrorFile();

    std::ofstream file(logPath, std::ios::binary | std::ios::app);
    if (!file) throw Failure(kFileAccess, "Path/File access error");
    file.write(line.data(), static_cast<std::streamsize>(line.size()));
    file.close();
    if (!file) throw Failure(kFileAccess, "Path/File access error");
    return true;
  } catch (...) {
    // The report of a failed write goes to the same file; if that fails too, it is dropped
    // rather than reported again, so an unwritable log can never loop.
    if (depth_ == 0) {
      CallScope reporting(depth_);
      ReportError("Error writing to Error file", "File Error");
    }
    return false;
  }
}

void ErrorLog::MoveAside(const fs::path& logPath) {
  // The full log is renamed, never copied: its lines land in exactly one archive, and an
  // archive takes no room of its own. Tried at most once a minute, so a log that cannot move
  // grows only as fast as this minute's reports allow.
  const LocalDateTime now = clock_.Now();
  const long long minute = SecondsOf(now) / 60;
  if (minute == archiveMinute_) return;
  archiveMinute_ = minute;

  // An archive is never overwritten. When this minute's name is already taken (a log filled
  // twice within one minute), the lines go on the full log until a later minute.
  const fs::path archivePath = FilePath(v_.AppFolder + ArchiveName(now));
  std::error_code error;
  if (fs::exists(archivePath, error) || error) return;
  Files().Rename(logPath, archivePath, error);
  if (!error) {
    moveFailureSaid_ = false;
    return;
  }
  // Another program holds the log (a viewer or a virus scanner on Windows, a file made
  // immutable): it goes on growing and the move is tried again next minute. Said once, so a log
  // held for days does not fill up with the news.
  if (moveFailureSaid_ || depth_ > 0) return;
  moveFailureSaid_ = true;
  CallScope reporting(depth_);
  try {
    throw Failure(kFileAccess, "Path/File access error: " + error.message() + "; " + kErrorLogName +
                                   " could not be moved aside and goes on growing until it can");
  } catch (...) {
    ReportError("Error writing to Error file", "File Error");
  }
}

void ErrorLog::CreateErrorFile() {
  try {
    std::string header;
    auto addLine = [&header](const std::string& line) {
      header += line;
      header += kLineEnd;
    };
    const std::string indent(19, ' ');
    addLine(MakerBanner());
    addLine("");
    addLine(indent + kMakerStreet);
    addLine(indent + kMakerCity);
    addLine(indent + kMakerPhone + " - " + kMakerWeb);
    addLine("");
    addLine("");
    addLine("QEV Zozudo Soft Panel Error Logfile");
    addLine("");
    addLine(" DATE     TIME           LOCATION                           MESSAGE DESCRIPTION");
    addLine(std::string(80, '-'));

    std::ofstream file(FilePath(v_.AppFolder + kErrorLogName), std::ios::binary | std::ios::trunc);
    file.write(header.data(), static_cast<std::streamsize>(header.size()));
  } catch (...) {
    // A header that cannot be written is not reported: the line that follows it either
    // reaches the file or reports its own failure.
  }
}
