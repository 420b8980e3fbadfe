#pragma once

#include <cstdint>
#include <string_view>

// Numbers typed by the operator or read from the configuration file: the leading decimal
// number of the text, blanks inside it ignored, no number at all counts as 0.
double LeadingNumber(std::string_view text);

// Rounds to the nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double value);

// LeadingNumber then RoundHalfEven, as a 64-bit value saturated at its limits (infinities and
// out-of-range values become the nearest 64-bit value), so callers choose check or clamp.
long long WholeNumber(std::string_view text);
