#include "setup/Procedures.h"

#include <cstddef>
#include <exception>
#include <filesystem>
#include <iostream>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

#include "setup/Failure.h"
#include "setup/FilePath.h"
#include "setup/FileSystem.h"
#include "setup/NumberText.h"
#include "setup/Settings.h"

#if defined(_WIN32)
#include <shlobj.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace fs = std::filesystem;

namespace {

// A new configuration is written to a temporary file beside the old one before it replaces
// it, so the operator's settings are never left half-written: "qevntpnl.ini.<random>.tmp".
constexpr const char* kIniTempSuffix = ".tmp";
constexpr int kTempNameAttempts = 16;
// A settings file the panel could not read is kept under this name beside the new one.
constexpr const char* kUnreadableSuffix = ".unreadable";
const char* const kLineEnd = "\r\n";

std::string ZeroPadded(int value, std::size_t digits) {
  std::string text = std::to_string(value);
  if (text.size() < digits) text.insert(0, digits - text.size(), '0');
  return text;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsLineEnd(char c) {
  return c == '\r' || c == '\n';
}

// Hands out the file's entries in file order, without copying them: an entry ends at a line
// end (CR LF, LF or CR) or a comma, leading blanks are skipped, and an entry that starts with
// a double quote runs to the next double quote, without the quotes.
class EntryReader {
 public:
  explicit EntryReader(std::string_view content) : text_(content) {}

  bool Next(std::string_view& entry) {
    if (pos_ >= text_.size()) return false;
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '"') {
      const std::size_t start = pos_ + 1;
      std::size_t end = text_.find('"', start);
      if (end == std::string_view::npos) end = text_.size();
      entry = text_.substr(start, end - start);
      // Whatever follows the closing quote up to the entry's end belongs to no entry.
      pos_ = end < text_.size() ? end + 1 : end;
      while (pos_ < text_.size() && text_[pos_] != ',' && !IsLineEnd(text_[pos_])) ++pos_;
    } else {
      const std::size_t start = pos_;
      while (pos_ < text_.size() && text_[pos_] != ',' && !IsLineEnd(text_[pos_])) ++pos_;
      entry = text_.substr(start, pos_ - start);
    }
    SkipDelimiter();
    return true;
  }

 private:
  void SkipDelimiter() {
    if (pos_ >= text_.size()) return;
    if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
    ++pos_;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

template <typename T>
T ClampedNumber(std::string_view value) {
  const long long whole = WholeNumber(value);
  if (whole < std::numeric_limits<T>::min()) return std::numeric_limits<T>::min();
  if (whole > std::numeric_limits<T>::max()) return std::numeric_limits<T>::max();
  return static_cast<T>(whole);
}

// A number of the setting's type; numbers that do not fit it are taken as the nearest value it
// can hold, so one damaged entry never costs the operator the rest of the file.
template <typename T>
T SettingNumber(const settings::Setting& setting, std::string_view value) {
  return static_cast<T>(settings::ReadRule(setting, ClampedNumber<T>(value)));
}

// Stores the value of an entry the settings know, by that setting's rule.
void StoreSetting(Variables& vars, const settings::Entry& entry,
                  std::string_view& scrambledPassword) {
  using namespace settings;
  const Setting& setting = *entry.setting;
  const std::string_view value = entry.value;
  if (&setting == &kIPAddress) {
    vars.ServerAddress = std::string(value.empty() ? setting.whenEmpty : value);
  } else if (&setting == &kIPPort) {
    vars.ServerPort = SettingNumber<std::int32_t>(setting, value);
  } else if (&setting == &kInput) {
    vars.SelectedSource = SettingNumber<std::int16_t>(setting, value);
  } else if (&setting == &kConsole) {
    vars.SelectedConsole = SettingNumber<std::int16_t>(setting, value);
  } else if (&setting == &kStayOnTop) {
    vars.StayOnTopMode = value == "Yes" ? kTopmost : kNotTopmost;
  } else if (&setting == &kRefreshRate) {
    vars.RefreshRate = SettingNumber<std::int16_t>(setting, value);
  } else if (&setting == &kTimeOut) {
    vars.TimeOut = SettingNumber<std::int16_t>(setting, value);
  } else if (&setting == &kUserName) {
    vars.UserName = std::string(value);
  } else if (&setting == &kPassword) {
    scrambledPassword = value;
  }
}

// The password is kept in the file with each character's code raised by its position (from 1).
std::string Unscramble(std::string_view stored) {
  std::string clear;
  clear.reserve(stored.size());
  for (std::size_t i = 0; i < stored.size(); ++i) {
    const int code = static_cast<unsigned char>(stored[i]) - static_cast<int>(i + 1);
    if (code < 0) throw Failure(kInvalidArgument, "Invalid procedure call or argument");
    clear.push_back(static_cast<char>(code));
  }
  return clear;
}

std::string Scramble(std::string_view clear) {
  std::string stored;
  stored.reserve(clear.size());
  for (std::size_t i = 0; i < clear.size(); ++i) {
    const long long code = static_cast<unsigned char>(clear[i]) + static_cast<long long>(i + 1);
    if (code > 255) throw Failure(kInvalidArgument, "Invalid procedure call or argument");
    stored.push_back(static_cast<char>(code));
  }
  return stored;
}

std::string IniFileContent(const Variables& vars) {
  std::string content;
  auto addLine = [&content](const std::string& line) {
    content += line;
    content += kLineEnd;
  };
  addLine("[CONFIGURATION]");
  addLine("SETUP");
  addLine("IP Address=" + vars.ServerAddress);
  addLine("IP Port=" + std::to_string(vars.ServerPort));
  addLine("CONFIG");
  addLine("Input=" + std::to_string(vars.SelectedSource));
  addLine("Console=" + std::to_string(vars.SelectedConsole));
  addLine(std::string("Stay On Top=") + (vars.StayOnTopMode == kTopmost ? "Yes" : "No"));
  addLine("Refresh Rate=" + std::to_string(vars.RefreshRate));
  addLine("Time Out=" + std::to_string(vars.TimeOut));
  addLine("SECURITY");
  addLine("User Name=" + vars.UserName);
  addLine("Password=" + Scramble(vars.Password));
  return content;
}

[[noreturn]] void ThrowFileFailure(const std::error_code& error) {
  throw Failure(kFileAccess, "Path/File access error: " + error.message());
}

void PutCharacter(std::string& text, std::uint32_t code) {
  text.push_back(code <= 0xFF ? static_cast<char>(code) : '?');
}

std::string FromUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x06 ? 2
                               : (lead >> 4) == 0x0E ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
    std::uint32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
    bool whole = length > 0 && i + length <= bytes.size();
    for (std::size_t k = 1; whole && k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      whole = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3Fu);
    }
    if (!whole) {
      text.push_back('?');
      ++i;
      continue;
    }
    PutCharacter(text, code);
    i += length;
  }
  return text;
}

std::string FromUtf16(std::string_view bytes, bool bigEndian) {
  std::string text;
  text.reserve(bytes.size() / 2);
  const auto unit = [&](std::size_t i) -> std::uint32_t {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    const std::uint32_t high = bigEndian ? first : second;
    const std::uint32_t low = bigEndian ? second : first;
    return (high << 8) | low;
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const std::uint32_t code = unit(i);
    if (code >= 0xD800 && code <= 0xDFFF) {
      // A surrogate pair is one character beyond 0xFFFF: one "?".
      if (code <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
          unit(i + 2) <= 0xDFFF) {
        i += 2;
      }
      text.push_back('?');
      continue;
    }
    PutCharacter(text, code);
  }
  return text;
}

// A file saved by another editor with a byte-order mark (Notepad's "UTF-8" and "Unicode", that
// is UTF-16) holds the same settings in other bytes. It is read as the panel's own 8-bit text,
// one byte a character as the panel shows its texts (Latin-1), "?" for one that has none;
// the next save writes it in that form. Text without a mark is taken byte for byte.
std::string EightBitText(std::string bytes) {
  const std::string_view view(bytes);
  if (view.starts_with("\xEF\xBB\xBF")) return FromUtf8(view.substr(3));
  if (view.starts_with("\xFF\xFE")) return FromUtf16(view.substr(2), false);
  if (view.starts_with("\xFE\xFF")) return FromUtf16(view.substr(2), true);
  return bytes;
}

// Sixteen hexadecimal digits from the system's random source: a name that nobody who can write
// the folder (a shared folder, a USB stick) could have guessed to plant a link or a file at.
std::string UnpredictableName() {
  std::random_device random;
  const std::uint64_t value = (static_cast<std::uint64_t>(random()) << 32) ^ random();
  static const char kDigits[] = "0123456789abcdef";
  std::string name(16, '0');
  for (std::size_t i = 0; i < name.size(); ++i) name[i] = kDigits[(value >> (4 * i)) & 0xF];
  return name;
}

// Writes the content to a new file of the panel's own beside the settings file and puts it on
// the disk, so that renaming it over the old one leaves the old file or the new one after a
// power cut, never an empty one. The file is created exclusively under an unpredictable name:
// never through a link, never over a file someone else put there, whose target would otherwise
// be overwritten with the operator's settings. It takes the permissions of the file it
// replaces; a new one gets the usual ones, or the owner's alone in the user's own folder,
// since it holds a password. Returns its path; on a failure nothing is left behind.
fs::path WriteNewFile(const std::string& folder, const std::string& content,
                      const fs::path& replaced, bool ownerOnly) {
  for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
    const fs::path path =
        FilePath(folder + kIniFileName + "." + UnpredictableName() + kIniTempSuffix);
#if defined(_WIN32)
    (void)replaced;
    (void)ownerOnly;
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      ThrowFileFailure(std::error_code(static_cast<int>(error), std::system_category()));
    }
    DWORD written = 0;
    bool done = WriteFile(handle, content.data(), static_cast<DWORD>(content.size()), &written,
                          nullptr) != 0 &&
                written == content.size() && FlushFileBuffers(handle) != 0;
    const std::error_code error(done ? 0 : static_cast<int>(GetLastError()),
                                std::system_category());
    done = CloseHandle(handle) != 0 && done;
#else
    struct stat old {};
    const bool keepMode = ::stat(replaced.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          ownerOnly ? 0600 : 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      ThrowFileFailure(std::error_code(errno, std::generic_category()));
    }
    bool done = !keepMode || ::fchmod(fd, old.st_mode & 0777) == 0;
    for (std::size_t at = 0; done && at < content.size();) {
      const ssize_t written = ::write(fd, content.data() + at, content.size() - at);
      if (written < 0 && errno == EINTR) continue;
      done = written > 0;
      if (done) at += static_cast<std::size_t>(written);
    }
    done = done && ::fsync(fd) == 0;
    const std::error_code error(done ? 0 : errno, std::generic_category());
    done = ::close(fd) == 0 && done;
#endif
    if (!done) {
      std::error_code ignored;
      fs::remove(path, ignored);
      if (error) ThrowFileFailure(error);
      throw Failure(kFileAccess, "Path/File access error");
    }
    return path;
  }
  throw Failure(kFileAccess, "Path/File access error: no free name for a temporary file");
}

void FlushFolderToDisk(const fs::path& file) {
#if !defined(_WIN32)
  // Best effort: the new file is already in place, and some file systems refuse to flush a
  // folder. NTFS journals the rename itself, so Windows needs nothing here.
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  const int fd = ::open(folder.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
#else
  (void)file;
#endif
}

// Says in the log, in one line, why the settings file could not be read and where it is now.
void SayWhereItIsKept(ErrorReporter& log, const std::string& why, const fs::path& kept) {
  try {
    throw Failure(kFileAccess, why + "; the file is kept as " + Utf8Text(kept));
  } catch (...) {
    log.ReportError("Error Reading ini File", "File Error");
  }
}

// The folder as a path that compares by its parts: symbolic links and "." resolved, the
// platform's separators, and no trailing separator.
bool ComparablePath(const std::string& folder, fs::path& path) {
  if (folder.empty()) return false;
  std::error_code error;
  path = fs::weakly_canonical(FilePath(folder), error).lexically_normal();
  if (error) return false;
  if (!path.has_filename() && path.has_relative_path()) path = path.parent_path();
  return true;
}

bool SamePathPart(const fs::path& a, const fs::path& b) {
#if defined(_WIN32)
  // Windows' file names are the same whatever their case.
  return ::_wcsicmp(a.c_str(), b.c_str()) == 0;
#else
  return a == b;
#endif
}

// Whether the folder is the outer folder itself or lies anywhere below it. Two spellings of
// one folder (a trailing separator, a symbolic link on the way) are one folder.
bool IsWithin(const std::string& folder, const std::string& outer) {
  fs::path inner, root;
  if (!ComparablePath(folder, inner) || !ComparablePath(outer, root)) return false;
  auto part = inner.begin();
  for (const fs::path& rootPart : root) {
    if (part == inner.end() || !SamePathPart(rootPart, *part)) return false;
    ++part;
  }
  return true;
}

// Makes the user's settings folder, open to its owner only, unless it is there already.
// Returns why it could not be made, or an empty text.
std::string MakeUserFolder(const std::string& userSettings) {
  const fs::path folder = FilePath(userSettings);
  std::error_code error;
  if (fs::is_directory(folder, error)) return {};
  if (folder.has_parent_path()) fs::create_directories(folder.parent_path(), error);
  if (!error && fs::create_directory(folder, error)) {
    fs::permissions(folder, fs::perms::owner_all, error);
  }
  return error ? error.message() : std::string();
}

// Beside the program while the panel may write there. An installed copy uses the user's own
// folder: it never writes into the install folder, not even for an administrator who could.
bool IsInstalledCopy(const ProgramFolders& folders) {
  return IsWithin(folders.program, folders.installedProgram) ||
         !folders.isWritable(folders.program);
}

void PlaceFiles(Variables& vars, const ProgramFolders& folders) {
  if (!IsInstalledCopy(folders)) {
    vars.AppFolder = WithFolderSeparator(folders.program);
    vars.PresetFolder.clear();
    return;
  }
  vars.AppFolder = WithFolderSeparator(folders.userSettings);
  vars.PresetFolder = WithFolderSeparator(folders.program);
  const std::string why = MakeUserFolder(folders.userSettings);
  // The error log would live in that folder too, so this is the one place left to say it.
  if (!why.empty()) {
    std::cerr << "qevntpnl: cannot create the settings folder " << folders.userSettings << " ("
              << why << "); settings and the error log will not be saved\n";
  }
}

}  // namespace

std::string SettingsFolder(const ProgramFolders& folders) {
  return WithFolderSeparator(IsInstalledCopy(folders) ? folders.userSettings : folders.program);
}

// Found by making a file there, uniquely named, and removing it again: that answers for the
// folder's access rights, a read-only disk and a file in the folder's place alike. Asking for
// the folder's mode would not: on Windows it reads only the read-only attribute, so Program
// Files would look writable to a user who may not write there.
bool FolderIsWritable(const std::string& folder) {
  static unsigned probes = 0;
#if defined(_WIN32)
  const unsigned long process = GetCurrentProcessId();
#else
  const long process = ::getpid();
#endif
  for (int attempt = 0; attempt < 8; ++attempt) {
    const fs::path probe = FilePath(WithFolderSeparator(folder) + ".qevntpnl-probe-" +
                                    std::to_string(process) + "-" + std::to_string(++probes));
#if defined(_WIN32)
    const HANDLE handle = CreateFileW(
        probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle != INVALID_HANDLE_VALUE) return CloseHandle(handle) != 0;
    if (GetLastError() != ERROR_FILE_EXISTS) return false;
#else
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      return ::unlink(probe.c_str()) == 0;
    }
    if (errno != EEXIST) return false;
#endif
  }
  return false;
}

std::string InstalledProgramFolder() {
#if defined(_WIN32)
  // Wherever the installer put it, a copy under Program Files is an installed one.
  PWSTR programFiles = nullptr;
  std::string folder;
  if (SHGetKnownFolderPath(FOLDERID_ProgramFiles, 0, nullptr, &programFiles) == S_OK) {
    folder = Utf8Text(fs::path(programFiles));
  }
  CoTaskMemFree(programFiles);
  return folder;
#elif defined(QEV_INSTALL_BINDIR)
  return QEV_INSTALL_BINDIR;
#else
  return {};
#endif
}

void ProgramSetup(Variables& vars, LinkTimers& timers, ErrorReporter& log,
                  const ProgramFolders& folders) {
  try {
    PlaceFiles(vars, folders);
    timers.SetPollTimerEnabled(false);

    vars.StayOnTopMode = settings::kStayOnTop.startUp != 0 ? kTopmost : kNotTopmost;
    vars.SelectedConsole = static_cast<std::int16_t>(settings::kConsole.startUp);
    vars.SelectedSource = static_cast<std::int16_t>(settings::kInput.startUp);
    vars.UserName.clear();
    vars.Password.clear();

    vars.InputCount = 256;
    vars.InputNames.assign(256, std::string());
    vars.ConsoleNames.assign(256, std::string());
    vars.InputNumbers.assign(static_cast<std::size_t>(vars.InputCount), 0);
    for (int i = 1; i <= vars.InputCount; ++i) {
      vars.InputNames[static_cast<std::size_t>(i - 1)] = "Inpt" + ZeroPadded(i, 4);
      vars.InputNumbers[static_cast<std::size_t>(i - 1)] = static_cast<std::int16_t>(i);
    }
    for (int i = 1; i <= 256; ++i) {
      vars.ConsoleNames[static_cast<std::size_t>(i - 1)] = "Console " + ZeroPadded(i, 3);
    }

    // The first run polls at the default Refresh Rate too: a 1 ms period would flood the
    // Server Module and drop any link slower than a few milliseconds.
    vars.RefreshRate = static_cast<std::int16_t>(settings::kRefreshRate.startUp);
    vars.TimeOut = static_cast<std::int16_t>(settings::kTimeOut.startUp);
    vars.PollInterval = settings::PollIntervalFor(vars.RefreshRate);
    timers.SetPollTimerInterval(vars.PollInterval);

    vars.ServerPort = settings::kIPPort.startUp;
  } catch (...) {
    log.ReportError("Error on program setup", "Program Error");
  }
}

bool ReadIniFile(Variables& vars, PanelWindow& window, LinkTimers& timers) {
  fs::path path = FilePath(vars.AppFolder + kIniFileName);
  std::error_code error;
  fs::file_status status = fs::status(path, error);
  bool preset = false;
  if (status.type() == fs::file_type::not_found && !vars.PresetFolder.empty()) {
    path = FilePath(vars.PresetFolder + kIniFileName);
    status = fs::status(path, error);
    preset = true;
  }
  if (status.type() == fs::file_type::not_found) return false;
  if (error) ThrowFileFailure(error);
  if (!fs::is_regular_file(status)) throw Failure(kFileAccess, "Path/File access error");

  std::string content;
  try {
    content = EightBitText(Files().ReadWholeFile(path));
  } catch (const Failure& failure) {
    // Someone's settings are in there, only not for this panel to read: the save must not put
    // the start-up values in their place. (The preset is never written anyway.)
    if (!preset) vars.UnreadableIni = failure.Description();
    throw;
  }

  std::string_view scrambledPassword;
  EntryReader entries(content);
  std::string_view entry;
  while (entries.Next(entry)) {
    if (const auto known = settings::FindEntry(entry))
      StoreSetting(vars, *known, scrambledPassword);
  }

  // RefreshRate is at most 32500, so the period (at most 650,000 ms) fits 32 bits.
  vars.PollInterval = settings::PollIntervalFor(vars.RefreshRate);
  timers.SetPollTimerInterval(vars.PollInterval);

  vars.Password = Unscramble(scrambledPassword);

  window.SetWindowOrder(vars.StayOnTopMode);
  return true;
}

bool WriteIniFile(Variables& vars, ErrorReporter& log) {
  const fs::path path = FilePath(vars.AppFolder + kIniFileName);
  const fs::path keptPath = FilePath(vars.AppFolder + kIniFileName + kUnreadableSuffix);
  fs::path tempPath;
  bool keptAside = false;
  try {
    // Everything that can fail without touching the disk (the password scrambling) is done
    // before the temporary file is made. The user's own copy carries a user name and a
    // password: a new one is for that user's eyes only.
    const std::string content = IniFileContent(vars);
    tempPath = WriteNewFile(vars.AppFolder, content, path, !vars.PresetFolder.empty());

    std::error_code error;
    if (!vars.UnreadableIni.empty()) {
      // The file the panel could not read moves aside (replacing an older one) just before the
      // new one takes its name. One that has gone meanwhile needs no keeping.
      Files().Rename(path, keptPath, error);
      if (error && error != std::errc::no_such_file_or_directory) ThrowFileFailure(error);
      keptAside = !error;
    }
    Files().Rename(tempPath, path, error);
    if (error) {
      std::error_code ignored;
      if (keptAside) Files().Rename(keptPath, path, ignored);
      keptAside = false;
      ThrowFileFailure(error);
    }
    tempPath.clear();
    FlushFolderToDisk(path);
  } catch (...) {
    log.ReportError("Error Writing ini File", "File Error");
    if (!tempPath.empty()) {
      std::error_code ignored;
      fs::remove(tempPath, ignored);
    }
    return false;
  }
  if (keptAside) SayWhereItIsKept(log, vars.UnreadableIni, keptPath);
  vars.UnreadableIni.clear();
  return true;
}

void ReplaceIniFile(const std::string& folder, const std::string& content) {
  const fs::path path = FilePath(folder + kIniFileName);
  const fs::path tempPath = WriteNewFile(folder, content, path, false);
  std::error_code error;
  Files().Rename(tempPath, path, error);
  if (error) {
    std::error_code ignored;
    fs::remove(tempPath, ignored);
    ThrowFileFailure(error);
  }
  FlushFolderToDisk(path);
}
