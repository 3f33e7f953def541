#pragma once
// Reading and writing numbers inside texts, independent of the process
// locale: "." is the only decimal mark in both directions.
#include <string>
#include <string_view>

namespace velunt {

// The leading number of `text`: blanks, tabs and line feeds are skipped
// wherever they stand; an optional sign, digits with at most one ".", an
// optional exponent (E or e, optional sign, digits). Stops at the first
// character that cannot continue the number; no leading number reads as 0.
// "&H" and "&O" introduce hexadecimal and octal integers (up to four hex or
// six octal digits they are 16-bit signed, up to eight hex or eleven octal
// digits 32-bit signed). A number beyond the double range raises error 6.
double ReadNumber(std::string_view text);

// `value` in general form: at most 15 significant digits, no grouping, no
// trailing fraction zeros, "." as decimal mark, "E+NN"/"E-NN" exponents
// where the plain form would need more than 15 digits or the magnitude is
// below 1E-4. Raises error 6 for infinities and NaN.
std::string NumberToText(double value);

// The same text written into `out`, whose capacity is reused.
void AssignNumberText(double value, std::string& out);

// True when `text` as a whole is a number: spaces around it allowed, an
// optional sign, digits with at most one "." among them (at least one
// digit), and an optional exponent (E or e, optional sign, digits): "0",
// "-0", "12.", " .5 ", "1.819e-12". Tabs and other blanks do not count as
// spaces here. ReadNumber reads such a text as that number.
bool IsNumber(std::string_view text);

// The same without an exponent ("3.000", "12", " .5 "): a number as a user
// types a shift amount.
bool IsPlainNumber(std::string_view text);

}  // namespace velunt
