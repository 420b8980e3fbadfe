#include "app/SelectorLists.h"

#include <algorithm>
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

}  // namespace

SelectorList SelectorList::Source(const Variables& vars) {
  // InputCount is read once: the list is built against this bound.
  return SelectorList(vars.InputNames, vars.InputCount, kSourceDigits, vars.SelectedSource);
}

SelectorList SelectorList::Console(const Variables& vars) {
  return SelectorList(vars.ConsoleNames, kConsoleCount, kConsoleDigits, vars.SelectedConsole);
}

int SelectorList::Count() const {
  const auto available = static_cast<long long>(names_->size());
  return 1 + static_cast<int>(std::clamp<long long>(count_, 0, available));
}

std::string SelectorList::Entry(int row) const {
  if (row == 0) return kUndefinedEntry;
  const auto index = static_cast<std::size_t>(row - 1);
  if (row < 0 || index >= names_->size()) {
    throw Failure(kOutOfRange, "No name for entry " + std::to_string(row));
  }
  return EntryText((*names_)[index], row, minDigits_);
}

int SelectorList::Position() const {
  if (Count() - 1 < count_)
    throw Failure(kOutOfRange, "No name for entry " + std::to_string(Count()));
  return PositionOf(stored_, Count() - 1);
}

std::string SelectorList::UnselectedFace(int rowsShown) const {
  if (stored_ == UndefinedSelection) return kUndefinedEntry;
  if (stored_ >= 1 && stored_ < rowsShown) return Entry(stored_);
  // The entry's number without a name: "[0041]".
  std::string face = EntryText({}, stored_, minDigits_).substr(1);
  if (rowsShown > 0) face += " not listed";
  return face;
}

std::int16_t SelectionFromPosition(int position) {
  if (position == 0) return UndefinedSelection;
  return static_cast<std::int16_t>(position);
}
