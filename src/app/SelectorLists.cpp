#include "app/SelectorLists.h"

#include <charconv>
#include <cstddef>
#include <string>
#include <vector>

#include "setup/Failure.h"

namespace {

constexpr const char* kUndefinedEntry = "Undefined";

// Every console list has one entry per console of the switcher, however many names it sent.
constexpr int kConsoleCount = 256;

constexpr std::size_t kSourceDigits = 4;   // "Studio A [0007]"
constexpr std::size_t kConsoleDigits = 3;  // "Desk 2 [012]"

// name + " [" + number zero-padded to at least minDigits, never cut + "]".
std::string EntryText(const std::string& name, int number, std::size_t minDigits) {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  const auto length = static_cast<std::size_t>(end - digits);
  const std::size_t padding = length < minDigits ? minDigits - length : 0;

  std::string text;
  text.reserve(name.size() + 3 + padding + length);
  text += name;
  text += " [";
  text.append(padding, '0');
  text.append(digits, length);
  text += ']';
  return text;
}

// The position that re-selects the stored number: "Undefined" for 16383, and for 0, which is
// what an unset selection reads as before any list has been filled.
int PositionOf(std::int16_t stored, int lastPosition) {
  if (stored == UndefinedSelection || stored == 0) return 0;
  if (stored < 0 || stored > lastPosition) {
    throw Failure(kInvalidArgument, "Selection " + std::to_string(stored) + " is not in the list");
  }
  return stored;
}

void BuildList(const std::vector<std::string>& names, int count, std::size_t minDigits,
               std::int16_t stored, ListContents& out) {
  out.entries.clear();
  out.position = -1;
  out.entries.reserve(static_cast<std::size_t>(count > 0 ? count : 0) + 1);
  out.entries.emplace_back(kUndefinedEntry);
  for (int i = 1; i <= count; ++i) {
    const auto index = static_cast<std::size_t>(i - 1);
    if (index >= names.size()) {
      throw Failure(kOutOfRange, "No name for entry " + std::to_string(i));
    }
    out.entries.push_back(EntryText(names[index], i, minDigits));
  }
  out.position = PositionOf(stored, static_cast<int>(out.entries.size()) - 1);
}

}  // namespace

void BuildSourceList(const Variables& vars, ListContents& out) {
  const int count = vars.InputCount;  // read once: the list is built against this bound
  BuildList(vars.InputNames, count, kSourceDigits, vars.SelectedSource, out);
}

void BuildConsoleList(const Variables& vars, ListContents& out) {
  BuildList(vars.ConsoleNames, kConsoleCount, kConsoleDigits, vars.SelectedConsole, out);
}

std::int16_t SelectionFromPosition(int position) {
  if (position == 0) return UndefinedSelection;
  return static_cast<std::int16_t>(position);
}
