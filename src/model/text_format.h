// Formatted text for the writers of every folder: the characters printf would write, made without
// a printf call per value, and numbers that read back exactly or keep their size.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>

namespace model {

/// Appends the printf-style formatted text to `out`: the same characters vsnprintf writes.
/// Conversions %[-][width][.precision] with d, i, f, e, g, s or c, and %%, are formatted here;
/// a format with any other conversion, flag or length goes to vsnprintf whole.
void appendf(std::string& out, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
/// appendf with the arguments of a variadic caller.
void vappendf(std::string& out, const char* format, va_list args);

/// Appends printf's "%<width>.<precision>f" of `value` ("%-..." with `left`).
void append_fixed(std::string& out, double value, int width, int precision, bool left = false);
/// Appends printf's "%<width>.<precision>e" of `value`.
void append_exponent(std::string& out, double value, int width, int precision, bool left = false);
/// Appends printf's "%<width>.<precision>g" of `value`.
void append_general(std::string& out, double value, int width, int precision, bool left = false);
/// Appends printf's "%<width>d" of `value`.
void append_int(std::string& out, long long value, int width, bool left = false);

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
/// `values` by exact_value (each value taken as a float), or when `calculated` by
/// significant_value (each value as it is, a double too); the format holds no other conversion
/// than "%%". Every writer writes its numbers through this: no value loses its size.
void append_values(std::string& out, const char* format, std::initializer_list<double> values,
                   bool calculated = false);

/// append_values of calculated values that belong to a field of values written alike (the points
/// of a section, a column of a table) whose largest size is `scale`: a value keeps the fixed
/// format when its text is within 5e-5 of the larger of its own size and `scale`, else it gets
/// six significant digits. A field whose largest value has five significant digits or more in the
/// fixed format is therefore written as the format writes it, down to the values it shows as
/// zero; in a field of values all too small for the format each value keeps its size.
void append_scaled_values(std::string& out, const char* format,
                          std::initializer_list<double> values, double scale);
/// The largest |value| of values[0 .. n - 1] (0 for none): the scale of append_scaled_values.
double largest_size(const float* values, std::size_t n);

/// Appends the texts of items 0 .. count - 1 in item order, each made by make(text, i) appending
/// item i to `text`. Runs of `per_run` consecutive items are made on the pool's threads, so
/// `make` reads only what the items share and changes nothing else: the text is the same on
/// any number of threads.
void append_items(std::string& out, int count, int per_run,
                  const std::function<void(std::string& text, int item)>& make);

} // namespace model
