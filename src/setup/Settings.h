#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// The operator's settings as qevntpnl.ini carries them: each one's key, how its value is read,
// its range and its start-up value. The file reader, the Setup dialog and the installer's check
// of an administrator's preset all take their rules from here. Plain C++, no Qt.
namespace settings {

enum class Kind {
  Text,       // taken as it stands
  Number16,   // a 16-bit signed number
  Number32,   // a 32-bit signed number
  YesNo,      // exactly "Yes" is yes, anything else no
  Scrambled,  // the password, in its scrambled form
};

// What the file reader makes of a number outside a setting's range. (Setup refuses it.)
enum class OutOfRange {
  Nearest,  // the nearest end of the range
  StartUp,  // the setting's start-up value
  Kept,     // the number as it stands
};

struct Setting {
  std::string_view key;  // an entry is this setting's when it starts with the key
  Kind kind = Kind::Text;
  std::size_t valueLength = 5;  // the value is at most this many characters after key and "="
  // A number's range, and what the reader makes of a number below or above it.
  std::int32_t lowest = 0;
  std::int32_t highest = 0;
  OutOfRange below = OutOfRange::Nearest;
  OutOfRange above = OutOfRange::Nearest;
  // A number's start-up value; for yes/no, 1 is yes.
  std::int32_t startUp = 0;
  // A text the reader puts in place of an empty value; empty: none.
  std::string_view whenEmpty = {};
};

// A new setting is one line here, one line in the file reader and writer, and its field.
inline constexpr Setting kIPAddress{
    .key = "IP Address", .valueLength = 25, .whenEmpty = "127.0.0.1"};
// The Setup dialog takes a port of 1 to 65535; a file's port above that is read as it stands.
inline constexpr Setting kIPPort{.key = "IP Port",
                                 .kind = Kind::Number32,
                                 .lowest = 1,
                                 .highest = 65535,
                                 .below = OutOfRange::StartUp,
                                 .above = OutOfRange::Kept,
                                 .startUp = 1250};
inline constexpr Setting kInput{
    .key = "Input", .kind = Kind::Number16, .highest = 32767, .startUp = 1};
inline constexpr Setting kConsole{.key = "Console", .kind = Kind::Number16, .highest = 32767};
inline constexpr Setting kStayOnTop{
    .key = "Stay On Top", .kind = Kind::YesNo, .highest = 1, .startUp = 1};
inline constexpr Setting kRefreshRate{
    .key = "Refresh Rate", .kind = Kind::Number16, .lowest = 1, .highest = 32500, .startUp = 1};
inline constexpr Setting kTimeOut{
    .key = "Time Out", .kind = Kind::Number16, .lowest = 1, .highest = 3600, .startUp = 20};
inline constexpr Setting kUserName{.key = "User Name"};
inline constexpr Setting kPassword{.key = "Password", .kind = Kind::Scrambled};

// In the order the reader tests them: the first key an entry starts with wins.
inline constexpr const Setting* kAll[] = {&kIPAddress, &kIPPort,    &kInput,
                                          &kConsole,   &kStayOnTop, &kRefreshRate,
                                          &kTimeOut,   &kUserName,  &kPassword};

// The poll timer runs RefreshRate x 20 milliseconds per tick, and polls every as many ticks.
inline constexpr std::int32_t kPollMillisecondsPerRate = 20;
inline constexpr std::int32_t PollIntervalFor(std::int32_t refreshRate) {
  return refreshRate * kPollMillisecondsPerRate;
}

// The setting an entry of the file belongs to, and its value text (at most valueLength
// characters from just after the key and the character that follows it, the "="; a shorter
// entry gives a shorter or empty value). Nothing for an entry that names no setting.
struct Entry {
  const Setting* setting;
  std::string_view value;
};
std::optional<Entry> FindEntry(std::string_view entry);

// A number within the setting's type, taken by the reader's rule for numbers outside its range.
std::int32_t ReadRule(const Setting& setting, std::int32_t number);

// Whether a number is within the setting's range, as the Setup dialog checks what is typed.
inline bool InRange(const Setting& setting, double number) {
  return !(number < setting.lowest || number > setting.highest);
}

}  // namespace settings
