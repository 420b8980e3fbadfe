#pragma once

#include <optional>
#include <string>

// The Setup dialog's address check: three dots with something after the third; each of the
// four parts becomes its leading number, rounded half to even and clamped to 0..255. Returns
// the repaired dotted address, or nothing when the text is refused.
std::optional<std::string> NormaliseIPAddress(const std::string& text);
