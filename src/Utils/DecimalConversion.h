// Exact conversions between doubles and decimal text, with "." as the
// decimal point and no locale. They stand in for the library's own
// conversions, whose tables would double the size of the stub.
#pragma once

#include <string>
#include <string_view>

namespace tarnix {

// The shortest text in fixed notation that reads back as `value`; among
// texts of that length the one nearest to it (ties to an even last digit).
// Whole numbers are written out in full ("1e23" gives its 23 digits exactly
// as stored); "-" in front of negative values and negative zero; "inf",
// "-inf", "nan" and "-nan" for the values that are not numbers.
std::string ShortestFixedText(double value);

// Reads [-]digits[.digits][(e|E)[+|-]digits], at least one digit before or
// after the point, as the nearest double (ties to even). False for any other
// text, and for a value too large for a double or too small to be anything
// but zero.
bool ReadDecimal(std::string_view text, double& value);

}  // namespace tarnix
