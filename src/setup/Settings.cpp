#include "setup/Settings.h"

namespace settings {

std::optional<Entry> FindEntry(std::string_view entry) {
  for (const Setting* setting : kAll) {
    if (entry.substr(0, setting->key.size()) != setting->key) continue;
    const std::size_t start = setting->key.size() + 1;
    const std::string_view value =
        entry.size() > start ? entry.substr(start, setting->valueLength) : std::string_view();
    return Entry{setting, value};
  }
  return std::nullopt;
}

std::int32_t ReadRule(const Setting& setting, std::int32_t number) {
  if (number >= setting.lowest && number <= setting.highest) return number;
  const bool below = number < setting.lowest;
  switch (below ? setting.below : setting.above) {
    case OutOfRange::Nearest:
      return below ? setting.lowest : setting.highest;
    case OutOfRange::StartUp:
      return setting.startUp;
    case OutOfRange::Kept:
      break;
  }
  return number;
}

}  // namespace settings
