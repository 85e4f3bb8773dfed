// Numbers held as text: the three conversions every scene uses on its counters.
#pragma once

#include <string>
#include <string_view>

namespace forms {

// The number a text holds, wherever a scene reads one: added to, compared by =, <
// or >, or read for its value. It is the number at the start of the text, "." as
// the decimal point, leading blanks skipped, 0 when the text does not start with
// one. So a text that is wholly a decimal number reads as that number, and a
// counter a player has typed letters into plays on rather than stopping the game.
// Beyond a double's range it reads as the largest one, or as 0 when too small.
double textToNumber(std::string_view text);

// A number written as text: decimal digits, "-" when negative, no exponent, no
// trailing zeros, no point for a whole value, at most 15 significant digits.
std::string numberToText(double value);

} // namespace forms
