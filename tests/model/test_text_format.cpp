// The writers' number formatter against the C library's printf: the same characters for the
// formats the writers use, over a table of awkward values and a sweep of values of every size.
#include "model/text_format.h"
#include "platform/sys/thread_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

std::string printed(const char* format, double v) {
    char text[1024];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

std::string formatted(const char* format, double v) {
    std::string out;
    model::appendf(out, format, v);
    return out;
}

// Every float and double conversion the writers' formats hold.
const char* const number_formats[] = {
    "%13.4f", "%13.5f", "%13.8f", "%10.3f", "%10.4f", "%10.5f", "%9.3f", "%9.4f", "%9.2f",
    "%8.3f",  "%8.4f",  "%8.5f",  "%8.6f",  "%8.0f",  "%7.2f",  "%6.2f", "%6.3f", "%4.0f",
    "%12.7f", "%11.5f", "%.3f",   "%.4f",   "%.2f",   "%.15f",  "%.0f",  "%f",    "%-8.3f",
    "%12.4e", "%.15e",  "%14.6e", "%e",     "%10.6g", "%.9g",   "%g",    "%1.1f", "%30.12f"};

// Ties of the decimal rounding (exact in binary, so printf rounds them to even), values just
// beside a tie, the sizes of calculated data, negative zero and the values at the limits.
const double awkward_values[] = {0.0,
                                 -0.0,
                                 0.5,
                                 1.5,
                                 2.5,
                                 -2.5,
                                 0.125,
                                 0.375,
                                 -0.125,
                                 1.0625,
                                 2.675,
                                 1.0005,
                                 0.00005,
                                 -0.00004,
                                 99.18631,
                                 double(99.18631f),
                                 double(1e-30f),
                                 1e-30,
                                 double(2e6f),
                                 2e6,
                                 -2e6,
                                 123456.789,
                                 double(0.1f),
                                 0.1,
                                 1.0 / 3.0,
                                 double(1.0f / 3.0f),
                                 4503599627370495.5,
                                 4503599627370497.0,
                                 9007199254740993.0,
                                 1e15,
                                 1e16,
                                 1e22,
                                 1e23,
                                 double(std::numeric_limits<float>::max()),
                                 std::numeric_limits<double>::max(),
                                 std::numeric_limits<double>::min(),
                                 std::numeric_limits<double>::denorm_min(),
                                 std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity(),
                                 std::numeric_limits<double>::quiet_NaN(),
                                 -std::numeric_limits<double>::quiet_NaN()};

TEST(TextFormat, NumbersAsPrintfWritesThem) {
    for (const char* format : number_formats)
        for (double v : awkward_values)
            EXPECT_EQ(formatted(format, v), printed(format, v)) << format << " of " << v;
}

// Floats and doubles of every size from 1e-40 to 1e40, each sign, and floats written as the
// writers pass them (converted to double).
TEST(TextFormat, ASweepOfValuesAsPrintfWritesThem) {
    std::mt19937_64 random(12345);
    std::uniform_real_distribution<double> exponent(-40.0, 40.0), mantissa(1.0, 10.0);
    int compared = 0;
    for (int i = 0; i < 20000; ++i) {
        const double d = (i % 2 ? -1.0 : 1.0) * mantissa(random) * std::pow(10.0, exponent(random));
        for (double v : {d, double(float(d)), std::round(d * 1000.0) / 1000.0})
            for (const char* format : number_formats) {
                const std::string expected = printed(format, v);
                ASSERT_EQ(formatted(format, v), expected) << format << " of " << v;
                ++compared;
            }
    }
    EXPECT_GT(compared, 2000000);
}

TEST(TextFormat, IntegersTextsAndMixedLines) {
    struct Case {
        const char* format;
        int number;
    } const cases[] = {{"%d", 0},      {"%d", -1},      {"%d", INT_MIN}, {"%d", INT_MAX},
                       {"%3d", 7},     {"%3d", -12345}, {"%1d ", 4},     {"%-5d|", 42},
                       {"%5i", 42},    {"%c|", 'x'},    {"%3c|", 'y'},   {"100%%%d", 5},
                       {"%d%%\n", 10}, {"no number", 0}};
    for (const Case& c : cases) {
        char expected[256];
        std::snprintf(expected, sizeof expected, c.format, c.number);
        std::string out;
        model::appendf(out, c.format, c.number);
        EXPECT_EQ(out, expected) << c.format;
    }
    std::string out = "kept ";
    model::appendf(out, "%s|%8s|%-8s|%.3s|%3d  %12.7f\n", "title", "ab", "cd", "abcdef", 12,
                   -0.00000004);
    EXPECT_EQ(out, "kept title|      ab|cd      |abc| 12    -0.0000000\n");
    // Conversions this formatter leaves to the C library.
    out.clear();
    model::appendf(out, "%+d %05.1f %#x %ld %zu", 3, 2.25, 255, 123456789012L, std::size_t(7));
    EXPECT_EQ(out, "+3 002.2 0xff 123456789012 7");
    // A line longer than the stack buffer and a text wider than it.
    const std::string long_text(5000, 'a');
    out.clear();
    model::appendf(out, "%s%d", long_text.c_str(), 1);
    EXPECT_EQ(out, long_text + "1");
    out.clear();
    model::appendf(out, "%3000.2f|", 1.5);
    EXPECT_EQ(out, std::string(2996, ' ') + "1.50|");
}

// The values the writers check: the fixed form when it keeps the value, else nine (exact) or
// six (calculated) significant digits in the field's width, as the C library makes them. A
// calculated value of a field is judged against the larger of its size and `scale`.
std::string reference_checked(const char* format, double value, bool calculated,
                              double scale = 0.0) {
    char text[128];
    std::snprintf(text, sizeof text, format, value);
    const double back = std::strtod(text, nullptr);
    const double size = std::max(std::fabs(value), scale);
    const bool keeps =
        !std::isfinite(value) || (calculated ? std::fabs(back - value) <= 5e-5 * size
                                             : static_cast<float>(back) == float(value));
    if (keeps) return text;
    std::snprintf(text, sizeof text, calculated ? "%*.6g" : "%*.9g", std::atoi(format + 1), value);
    return text;
}

TEST(TextFormat, CheckedValuesKeepTheirSize) {
    // A datum of 1e-30 ohm-m keeps its six significant digits instead of 0.0000.
    EXPECT_EQ(model::significant_value("%13.4f", 1e-30f), "        1e-30");
    EXPECT_EQ(model::significant_value("%13.4f", 99.18631f), "      99.1863");
    EXPECT_EQ(model::significant_value("%13.4f", 0.00123456f), "   0.00123456");
    EXPECT_EQ(model::significant_value("%13.4f", -0.0f), "      -0.0000");
    EXPECT_EQ(model::exact_value("%10.3f", 0.05f), "     0.050");
    EXPECT_EQ(model::exact_value("%10.3f", 0.0015f), "0.00150000001");
    std::mt19937 random(7);
    std::uniform_real_distribution<float> exponent(-35.0f, 35.0f), mantissa(1.0f, 10.0f);
    const char* const formats[] = {"%13.4f", "%13.5f", "%10.3f", "%10.4f", "%8.5f",
                                   "%9.3f",  "%7.2f",  "%.3f",   "%6.2f",  "%-8.3f"};
    for (int i = 0; i < 20000; ++i) {
        const float v = (i % 3 ? 1.0f : -1.0f) * mantissa(random) *
                        std::pow(10.0f, float(int(exponent(random))));
        for (const char* format : formats)
            for (bool calculated : {false, true}) {
                std::string out;
                model::append_values(out, format, {double(v)}, calculated);
                ASSERT_EQ(out, reference_checked(format, double(v), calculated))
                    << format << " of " << v << (calculated ? " calculated" : " exact");
            }
    }
    std::string line;
    model::append_values(line, "%10.3f %10.3f %8.5f %13.4f\n", {2.5, 2.0, 0.5, 1e-30}, true);
    EXPECT_EQ(line, "     2.500      2.000  0.50000         1e-30\n");
}

// Values of a field against its largest: a field whose largest value has its digits in the
// format is written as printf writes it, tiny values and all; in a field too small for the
// format each value keeps its size, and with no scale the rule is that of a value alone.
TEST(TextFormat, ScaledValuesAgainstTheirField) {
    const struct {
        double value, scale;
        const char* text;
    } cases[] = {{1e-9, 250.0, "  0.00000"},     {0.0123456, 250.0, "  0.01235"},
                 {0.0123456, 0.02, "0.0123456"}, {4e-7, 0.02, "  0.00000"},
                 {1e-30, 3.3e-29, "    1e-30"},  {-0.0123456, 0.0, "-0.0123456"},
                 {123.456789, 0.0, "123.45679"}, {5e-6, 1e300, "  0.00001"}};
    for (const auto& c : cases) {
        std::string out;
        model::append_scaled_values(out, "%9.5f", {c.value}, c.scale);
        EXPECT_EQ(out, c.text) << c.value << " of " << c.scale;
    }
    std::mt19937 random(11);
    std::uniform_real_distribution<double> exponent(-35.0, 35.0), mantissa(1.0, 10.0);
    const char* const formats[] = {"%9.5f", "%12.4f", "%9.4f", "%14.8f", "%10.5f", "%.2f"};
    for (int i = 0; i < 20000; ++i) {
        const double v =
            (i % 3 ? 1.0 : -1.0) * mantissa(random) * std::pow(10.0, double(int(exponent(random))));
        const double scale = std::fabs(v) * std::pow(10.0, double(i % 9 - 2));
        for (const char* format : formats) {
            std::string out;
            model::append_scaled_values(out, format, {v}, scale);
            ASSERT_EQ(out, reference_checked(format, v, true, scale))
                << format << " of " << v << " in a field of " << scale;
        }
    }
}

// Items made on the pool's threads come in item order, as on one thread.
TEST(TextFormat, ItemsOnAnyNumberOfThreads) {
    auto make = [](std::string& text, int item) {
        model::appendf(text, "%6d %13.4f\n", item, 1.0 / (item + 1));
    };
    std::string one = "head\n", many = "head\n";
    sys::set_pool_threads(1);
    model::append_items(one, 10007, 64, make);
    sys::set_pool_threads(8);
    model::append_items(many, 10007, 64, make);
    sys::set_pool_threads(0);
    EXPECT_EQ(many, one);
    EXPECT_EQ(one.size(), 5u + 10007u * 21u);
}

} // namespace
