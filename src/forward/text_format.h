// Formatted text for the writers: printf-style appending and numbers that read back exactly.
#pragma once

#include <initializer_list>
#include <string>

namespace forward {

/// Appends the printf-style formatted text to `out`.
void appendf(std::string& out, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

/// `value` in the printf-style `format` (one float conversion) when that text reads back as
/// the same float, else with nine significant digits in the same field width: for the values
/// a reader takes back (a spacing of 1e-6 m in "%6.2f" would come back as 0, a chargeability
/// of 0.0015 in "%10.3f" as 0.002).
std::string exact_value(const char* format, float value);

/// `value` in `format` when that text is within 5e-5 of it relatively, else with six
/// significant digits in the same field width: for calculated values, which must not lose
/// their size (an apparent resistivity of 1e-5 ohm-m in "%13.4f" would read 0.0000).
std::string significant_value(const char* format, float value);

/// Appends `format` with each of its float conversions ("%10.3f", "%.2f", in order) filled from
/// `values` by exact_value, or by significant_value when `calculated`; the format holds no other
/// conversion than "%%".
void append_values(std::string& out, const char* format, std::initializer_list<double> values,
                   bool calculated = false);

} // namespace forward
