// Numbers held as text: the three conversions every scene uses on its counters.
#pragma once

#include <string>
#include <string_view>

namespace forms {

// A text combined with a number (added to it, or compared with it by =, < or >).
// A text that is wholly a decimal number reads as that number. Anything else a
// player may have typed reads by its leading number instead (0 when there is none),
// so a counter with letters in it plays on rather than stopping the game.
double numberOperand(std::string_view text);

// The leading number of a text: the number at its start, "." as the decimal point,
// 0 when the text does not start with one. Leading blanks are skipped.
double leadingNumber(std::string_view text);

// A number written as text: decimal digits, "-" when negative, no exponent, no
// trailing zeros, no point for a whole value, at most 15 significant digits.
std::string numberToText(double value);

// Full-width digits, point, signs and the ideographic space, as a Japanese input
// method types them, folded to their ASCII forms; every other character is kept.
std::string foldWidth(std::string_view text);

} // namespace forms
