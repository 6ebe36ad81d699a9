// Formatted text for the writers.
//
// The numbers are made here with the characters printf writes: a float or double whose value
// times 10^precision is exact below 2^53 (every float to twelve decimals) gets its fixed-point
// digits from that integer, rounded half to even as printf rounds the exact binary value; every
// other number (exponent forms, huge values, doubles with more digits) comes from
// std::to_chars, whose characters the C++ standard makes those of printf. The text is made in a
// buffer on the stack through a cursor kept in a local variable and goes into the string a kilobyte
// at a time.
#include "model/text_format.h"

#include "platform/sys/thread_pool.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace model {

namespace {

constexpr double powers_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                    1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

constexpr std::uint64_t integer_powers_of_ten[] = {1ull,
                                                   10ull,
                                                   100ull,
                                                   1000ull,
                                                   10000ull,
                                                   100000ull,
                                                   1000000ull,
                                                   10000000ull,
                                                   100000000ull,
                                                   1000000000ull,
                                                   10000000000ull,
                                                   100000000000ull,
                                                   1000000000000ull,
                                                   10000000000000ull,
                                                   100000000000000ull,
                                                   1000000000000000ull,
                                                   10000000000000000ull,
                                                   100000000000000000ull,
                                                   1000000000000000000ull,
                                                   10000000000000000000ull};

constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233"
    "34353637383940414243444546474849505152535455565758596061626364656667"
    "6869707172737475767778798081828384858687888990919293949596979899";

/// Largest precision and width formatted here (larger ones go to vsnprintf); the text of any
/// double in a precision up to it fits `text_capacity`.
constexpr int most_precision = 100;
constexpr int most_width = 4096;
constexpr std::size_t text_capacity = 320 + most_precision + 16;

/// One conversion of a format: %[-][width][.precision]conversion.
struct Conversion {
    bool left = false;
    int width = 0;
    int precision = -1; ///< -1: none given
    char conversion = 0;
};

/// The stack buffer of one call. Writers take a cursor (a local char*, so that the stores
/// through it cannot be taken for changes of the buffer's own fields), ask room() for the
/// characters they are about to write and hand the cursor back with finish().
class LineText {
  public:
    static constexpr std::size_t capacity = 1024;
    /// Room that a number needs: its field (at most `most_width` would not fit, so wide fields
    /// take the slow path) or its text, and 16 characters of slack.
    static constexpr std::size_t number_room = 128;

    explicit LineText(std::string& out) : out_(out), end_(buffer_) {}
    ~LineText() { out_.append(buffer_, std::size_t(end_ - buffer_)); }
    LineText(const LineText&) = delete;
    LineText& operator=(const LineText&) = delete;

    char* cursor() const { return end_; }
    void finish(char* at) { end_ = at; }
    /// A cursor with room for `size` (<= capacity) characters: `at`, or the buffer's start once
    /// the text before `at` went into the string.
    char* room(char* at, std::size_t size) {
        if (std::size_t(buffer_ + capacity - at) >= size) return at;
        out_.append(buffer_, std::size_t(at - buffer_));
        return buffer_;
    }
    /// Sends the text before `at` and then `size` characters of `text` straight into the string
    /// (a piece too long for the buffer); the cursor after them.
    char* put_long(char* at, const char* text, std::size_t size) {
        out_.append(buffer_, std::size_t(at - buffer_));
        out_.append(text, size);
        return buffer_;
    }

  private:
    std::string& out_;
    char* end_;
    char buffer_[capacity];
};

std::size_t field_fill(std::size_t size, int width) {
    return width > 0 && std::size_t(width) > size ? std::size_t(width) - size : std::size_t(0);
}

// `size` characters in a field of `width`, right-aligned unless `left`.
char* put_field(LineText& line, char* w, const char* text, std::size_t size, int width, bool left) {
    const std::size_t fill = field_fill(size, width);
    if (fill + size > LineText::capacity) {
        if (!left) w = line.put_long(w, std::string(fill, ' ').data(), fill);
        w = line.put_long(w, text, size);
        if (left) w = line.put_long(w, std::string(fill, ' ').data(), fill);
        return w;
    }
    w = line.room(w, fill + size);
    if (!left) w = std::fill_n(w, fill, ' ');
    w = std::copy_n(text, size, w);
    if (left) w = std::fill_n(w, fill, ' ');
    return w;
}

// "inf", "-inf", "nan" or "-nan", as the C library writes them.
std::size_t non_finite_chars(char* text, double v) {
    char* p = text;
    if (std::signbit(v)) *p++ = '-';
    std::memcpy(p, std::isnan(v) ? "nan" : "inf", 3);
    return std::size_t(p + 3 - text);
}

// The integer nearest v 10^precision (ties to even) in `n`, when v 10^precision is exact and
// below 2^53 (every float to twelve decimals; doubles when the check with a fused multiply-add
// finds no rounding): its digits are then those printf writes for v. False otherwise.
bool fixed_integer(double v, int precision, std::uint64_t& n) {
    if (precision > 22 || !std::isfinite(v)) return false;
    const double p = powers_of_ten[precision];
    const double scaled = v * p;
    const double a = std::fabs(scaled);
    if (!(a < 0x1p53)) return false;
    if (!(precision <= 12 && double(float(v)) == v) && std::fma(v, p, -scaled) != 0.0) return false;
    // Below 2^52 the addition rounds to an integer in the default rounding mode.
    n = std::uint64_t(a < 0x1p52 ? (a + 0x1p52) - 0x1p52 : a);
    return true;
}

// The double nearest the text of fixed_integer's n with `precision` decimals and v's sign: n and
// 10^precision are exact, so their quotient is correctly rounded, as reading the text is.
double fixed_back(double v, std::uint64_t n, int precision) {
    return std::copysign(double(n) / powers_of_ten[precision], v);
}

// The number of decimal digits of n (1 for 0): from its bit length, log10(2) ~ 1233 / 4096.
int decimal_digits(std::uint64_t n) {
    const int bits = 64 - __builtin_clzll(n | 1);
    const int guess = (bits * 1233) >> 12;
    return guess + ((n | 1) >= integer_powers_of_ten[guess]);
}

// Writes the last `count` digits of n backwards ending at `end` (leading zeros as needed);
// where they start. n keeps the digits before them.
template <class Unsigned> char* digits_backwards(char* end, Unsigned& digits, int count) {
    Unsigned n = digits; // a local copy: a store through char* could alias `digits`
    for (; count >= 2; count -= 2, n /= 100) {
        end -= 2;
        std::memcpy(end, digit_pairs + 2 * (n % 100), 2);
    }
    if (count == 1) {
        *--end = char('0' + n % 10);
        n /= 10;
    }
    digits = n;
    return end;
}

// The characters of a fixed-point number with digits n, `precision` decimals and `whole`
// digits before the point, written backwards so that they end at `end`.
template <class Unsigned>
void fixed_text_backwards(char* end, bool negative, Unsigned n, int precision, int whole) {
    char* p = digits_backwards(end, n, precision);
    if (precision > 0) *--p = '.';
    p = digits_backwards(p, n, whole);
    if (negative) *--p = '-';
}

// printf's "%<width>.<precision>f" of a value whose sign is `negative` and whose digits are n
// (fixed_integer).
char* put_fixed_integer(LineText& line, char* w, bool negative, std::uint64_t n, int precision,
                        int width, bool left) {
    const int whole = std::max(decimal_digits(n) - precision, 1);
    const std::size_t size =
        std::size_t(negative) + std::size_t(whole) + std::size_t(precision) + (precision > 0);
    const std::size_t fill = field_fill(size, width);
    if (fill + size > LineText::number_room - 16) {
        char text[text_capacity];
        fixed_text_backwards(text + size, negative, n, precision, whole);
        return put_field(line, w, text, size, width, left);
    }
    w = line.room(w, LineText::number_room);
    // Sixteen blanks in one store of a fixed size; the number overwrites those past the fill.
    if (!left) std::memcpy(w, "                ", 16);
    if (!left && fill > 16) std::fill_n(w + 16, fill - 16, ' ');
    char* const start = left ? w : w + fill;
    if (n <= 0xffffffffu)
        fixed_text_backwards<std::uint32_t>(start + size, negative, std::uint32_t(n), precision,
                                            whole);
    else
        fixed_text_backwards<std::uint64_t>(start + size, negative, n, precision, whole);
    w = start + size;
    if (left) w = std::fill_n(w, fill, ' ');
    return w;
}

// printf's "%.<precision>f" of a value fixed_integer does not take (huge, non-finite, a double
// with more digits), by the library, and in `back` the double that text reads back as.
std::size_t fixed_chars(char* text, double v, int precision, double& back) {
    if (!std::isfinite(v)) {
        back = v;
        return non_finite_chars(text, v);
    }
    const std::to_chars_result r =
        std::to_chars(text, text + text_capacity, v, std::chars_format::fixed, precision);
    std::from_chars(text, r.ptr, back);
    return std::size_t(r.ptr - text);
}

// The number conversions, precision 0 .. most_precision.
char* put_fixed(LineText& line, char* w, double value, int width, int precision, bool left) {
    std::uint64_t n = 0;
    if (fixed_integer(value, precision, n))
        return put_fixed_integer(line, w, std::signbit(value), n, precision, width, left);
    char text[text_capacity];
    double back = 0.0;
    return put_field(line, w, text, fixed_chars(text, value, precision, back), width, left);
}

char* put_float(LineText& line, char* w, double value, int width, int precision, bool left,
                std::chars_format form) {
    char text[text_capacity];
    std::size_t size = 0;
    if (std::isfinite(value))
        size = std::size_t(std::to_chars(text, text + text_capacity, value, form, precision).ptr -
                           text);
    else
        size = non_finite_chars(text, value);
    return put_field(line, w, text, size, width, left);
}

char* put_int(LineText& line, char* w, long long value, int width, bool left) {
    char text[24];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
    return put_field(line, w, text, std::size_t(r.ptr - text), width, left);
}

// True when the text of fixed_integer's n certainly passes put_checked's test, found without
// the division that reads it back: the digits are v itself, or (calculated) the larger of |v| and
// `scale` times 10^precision is at least 10001, so that the rounding, below half a unit of the
// last decimal, is less than 5e-5 of it by a margin that the rounding of the test cannot close
// (below 2^32 for v itself; any scale, whose test has no rounding to close).
bool fixed_keeps(double v, std::uint64_t n, int precision, bool calculated, double scale) {
    const double a = std::fabs(v) * powers_of_ten[precision];
    if (!calculated) return a == double(n);
    return (a >= 10001.0 && a < 0x1p32) || a == double(n) ||
           scale * powers_of_ten[precision] >= 10001.0;
}

// `value` in the fixed conversion `s` when its text keeps the value, else in "%<width>.6g"
// (calculated) or "%<width>.9g". A calculated value is kept when the text is within 5e-5 of the
// larger of its size and `scale` relatively; any other is taken as a float and kept when the text
// reads back as that float.
char* put_checked(LineText& line, char* w, const Conversion& s, double value, bool calculated,
                  double scale) {
    if (!calculated) value = double(static_cast<float>(value));
    const int precision = s.precision < 0 ? 6 : s.precision;
    std::uint64_t n = 0;
    const bool digits = fixed_integer(value, precision, n);
    if (digits && fixed_keeps(value, n, precision, calculated, scale))
        return put_fixed_integer(line, w, std::signbit(value), n, precision, s.width, s.left);
    char text[text_capacity];
    std::size_t size = 0;
    double back = 0.0;
    if (digits)
        back = fixed_back(value, n, precision);
    else
        size = fixed_chars(text, value, precision, back);
    const double size_kept = std::max(std::fabs(value), scale);
    const bool keeps =
        !std::isfinite(value) || (calculated ? std::fabs(back - value) <= 5e-5 * size_kept
                                             : static_cast<float>(back) == float(value));
    if (!keeps)
        return put_float(line, w, value, s.width, calculated ? 6 : 9, s.left,
                         std::chars_format::general);
    if (digits)
        return put_fixed_integer(line, w, std::signbit(value), n, precision, s.width, s.left);
    return put_field(line, w, text, size, s.width, s.left);
}

// Reads the conversion after a '%' at `p`; false for any other than those formatted here.
bool parse_conversion(const char*& p, Conversion& s) {
    while (*p == '-') {
        s.left = true;
        ++p;
    }
    for (; *p >= '0' && *p <= '9'; ++p)
        if ((s.width = s.width * 10 + (*p - '0')) > most_width) return false;
    if (*p == '.') {
        s.precision = 0;
        for (++p; *p >= '0' && *p <= '9'; ++p)
            if ((s.precision = s.precision * 10 + (*p - '0')) > most_precision) return false;
    }
    s.conversion = *p;
    switch (*p++) {
    case 'f':
    case 'e':
    case 'g':
    case 's':
        return true;
    case 'd':
    case 'i':
    case 'c':
        return s.precision < 0;
    default:
        return false;
    }
}

// True when every conversion of `format` is one that appendf makes itself.
bool formats_here(const char* format) {
    for (const char* p = format; (p = std::strchr(p, '%')) != nullptr;) {
        ++p;
        if (*p == '%') {
            ++p;
            continue;
        }
        Conversion s;
        if (!parse_conversion(p, s)) return false;
    }
    return true;
}

// Writes the text of `p` up to its next conversion ("%%" as "%"); `p` then points at the '%' of
// the conversion or at the end.
char* put_literal(LineText& line, char* w, const char*& p) {
    for (;;) {
        for (; *p && *p != '%'; ++p) {
            w = line.room(w, 1);
            *w++ = *p;
        }
        if (p[0] != '%' || p[1] != '%') return w;
        w = line.room(w, 1);
        *w++ = '%';
        p += 2;
    }
}

char* put_conversion(LineText& line, char* w, const Conversion& s, va_list& args) {
    const int precision = s.precision < 0 ? 6 : s.precision;
    switch (s.conversion) {
    case 'f':
        return put_fixed(line, w, va_arg(args, double), s.width, precision, s.left);
    case 'e':
        return put_float(line, w, va_arg(args, double), s.width, precision, s.left,
                         std::chars_format::scientific);
    case 'g':
        return put_float(line, w, va_arg(args, double), s.width, precision == 0 ? 1 : precision,
                         s.left, std::chars_format::general);
    case 'c': {
        const char c = char(va_arg(args, int));
        return put_field(line, w, &c, 1, s.width, s.left);
    }
    case 's': {
        const char* text = va_arg(args, const char*);
        if (!text) text = "(null)";
        const std::size_t size =
            s.precision < 0 ? std::strlen(text) : strnlen(text, std::size_t(s.precision));
        return put_field(line, w, text, size, s.width, s.left);
    }
    default: // 'd', 'i'
        return put_int(line, w, va_arg(args, int), s.width, s.left);
    }
}

void append_vsnprintf(std::string& out, const char* format, va_list args) {
    char small[512];
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    if (n >= 0 && std::size_t(n) < sizeof small) {
        out.append(small, std::size_t(n));
    } else if (n > 0) {
        std::vector<char> big(std::size_t(n) + 1);
        std::vsnprintf(big.data(), big.size(), format, again);
        out.append(big.data(), std::size_t(n));
    }
    va_end(again);
}

// The one float conversion of `format`, for exact_value and significant_value.
std::string checked_value(const char* format, float value, bool calculated) {
    std::string out;
    append_values(out, format, {double(value)}, calculated);
    return out;
}

bool precision_here(int precision) {
    return precision >= 0 && precision <= most_precision;
}

// append_values and append_scaled_values: the float conversions of `format` filled in order.
void append_checked(std::string& out, const char* format, std::initializer_list<double> values,
                    bool calculated, double scale) {
    const double* next = values.begin();
    LineText line(out);
    char* w = line.cursor();
    for (const char* p = format; w = put_literal(line, w, p), *p;) {
        Conversion s;
        if (!parse_conversion(++p, s) || s.conversion != 'f' || next == values.end()) break;
        w = put_checked(line, w, s, *next++, calculated, scale);
    }
    line.finish(w);
}

} // namespace

void appendf(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vappendf(out, format, args);
    va_end(args);
}

void vappendf(std::string& out, const char* format, va_list args) {
    va_list own;
    va_copy(own, args);
    if (!formats_here(format)) {
        append_vsnprintf(out, format, own);
        va_end(own);
        return;
    }
    LineText line(out);
    char* w = line.cursor();
    for (const char* p = format; w = put_literal(line, w, p), *p;) {
        Conversion s;
        parse_conversion(++p, s);
        w = put_conversion(line, w, s, own);
    }
    line.finish(w);
    va_end(own);
}

void append_fixed(std::string& out, double value, int width, int precision, bool left) {
    if (!precision_here(precision) || width > most_width) {
        appendf(out, left ? "%-*.*f" : "%*.*f", width, precision, value);
        return;
    }
    LineText line(out);
    line.finish(put_fixed(line, line.cursor(), value, width, precision, left));
}

void append_exponent(std::string& out, double value, int width, int precision, bool left) {
    if (!precision_here(precision) || width > most_width) {
        appendf(out, left ? "%-*.*e" : "%*.*e", width, precision, value);
        return;
    }
    LineText line(out);
    line.finish(put_float(line, line.cursor(), value, width, precision, left,
                          std::chars_format::scientific));
}

void append_general(std::string& out, double value, int width, int precision, bool left) {
    if (!precision_here(precision) || width > most_width) {
        appendf(out, left ? "%-*.*g" : "%*.*g", width, precision, value);
        return;
    }
    LineText line(out);
    line.finish(put_float(line, line.cursor(), value, width, precision == 0 ? 1 : precision, left,
                          std::chars_format::general));
}

void append_int(std::string& out, long long value, int width, bool left) {
    if (width > most_width) {
        appendf(out, left ? "%-*lld" : "%*lld", width, value);
        return;
    }
    LineText line(out);
    line.finish(put_int(line, line.cursor(), value, width, left));
}

std::string exact_value(const char* format, float value) {
    return checked_value(format, value, false);
}

std::string significant_value(const char* format, float value) {
    return checked_value(format, value, true);
}

void append_values(std::string& out, const char* format, std::initializer_list<double> values,
                   bool calculated) {
    append_checked(out, format, values, calculated, 0.0);
}

void append_scaled_values(std::string& out, const char* format,
                          std::initializer_list<double> values, double scale) {
    append_checked(out, format, values, true, std::isfinite(scale) ? std::fabs(scale) : 0.0);
}

double largest_size(const float* values, std::size_t n) {
    float largest = 0.0f;
    for (std::size_t i = 0; i < n; ++i)
        largest = std::max(largest, std::fabs(values[i]));
    return double(largest);
}

void append_items(std::string& out, int count, int per_run,
                  const std::function<void(std::string& text, int item)>& make) {
    per_run = std::max(per_run, 1);
    const int runs = (count + per_run - 1) / per_run;
    const int threads = sys::pool_threads();
    if (runs <= 1 || threads <= 1) {
        for (int i = 0; i < count; ++i)
            make(out, i);
        return;
    }
    std::vector<std::string> texts(static_cast<std::size_t>(runs));
    sys::run_in_parallel(runs, threads, [&](int, int run) {
        std::string& text = texts[std::size_t(run)];
        for (int i = run * per_run; i < std::min(count, (run + 1) * per_run); ++i)
            make(text, i);
    });
    std::size_t size = out.size();
    for (const std::string& text : texts)
        size += text.size();
    out.reserve(size);
    for (std::string& text : texts) {
        out += text;
        std::string().swap(text);
    }
}

} // namespace model
