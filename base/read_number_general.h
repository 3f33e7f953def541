#pragma once
// The general code behind ReadNumber, NumberToText and HasNonZeroDecimals:
// every input, any layout. The public functions (read_number.h) answer the
// common plain numbers on a fast path of their own (read_number.cpp,
// fast_number.cpp) and hand everything else to these; they must give exactly
// the same results, which the tests check by comparing both on many values.
#include <cstddef>
#include <string>
#include <string_view>

namespace velunt {

// Room for any text NumberToText writes ("-1.23456789012345E-308" and less),
// and for the fixed-size copies of the fast path.
inline constexpr size_t kNumberTextCapacity = 48;

double ReadNumberGeneral(std::string_view text);

// Writes the text of `value` to `out` (kNumberTextCapacity bytes) and returns
// its length.
size_t WriteNumberTextGeneral(double value, char* out);
std::string NumberToTextGeneral(double value);

bool HasNonZeroDecimalsGeneral(std::string_view text);

// The same as WriteNumberTextGeneral, fast for the common values.
size_t WriteNumberText(double value, char* out);

}  // namespace velunt
