// Text-buffer readers, index sorts, rounding, 2-D addressing, level counts, cell conductivities
// from block codes and the logarithmic misfit.
#include "support/session.h"

#include "model/model_settings.h"
#include "model/utilities.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace {

// ---- Text-buffer readers -------------------------------------------------------------------

struct Read {
    char kind;        // 'L' line, 'R' real, 'I' integer
    double value;     // number read, or the destination size of a line read
    std::string text; // line read
    int cursor_after;
};
struct ReaderCase {
    const char* name;
    std::string buffer;
    int length; // -1: the whole buffer
    std::vector<Read> reads;
};

const ReaderCase reader_cases[] = {
    {"line after blanks, CRLF left for the next read",
     "  Model one\r\nSecond line\r\n",
     -1,
     {{'L', 64, "Model one", 11}, {'L', 64, "Second line", 24}, {'L', 64, "", 26}}},
    {"long line stored cut, cursor at its end",
     "abcdefghijklmnopqrst\nX",
     -1,
     {{'L', 8, "abcdefg", 20}, {'L', 8, "X", 22}}},
    {"destination of one byte stores nothing", "abc", -1, {{'L', 1, "", 3}}},
    {"last line without a line end", "\n\nabc", -1, {{'L', 64, "abc", 5}, {'L', 64, "", 5}}},
    {"numbers among labels", "Spacing is 2.5m, n=3", -1, {{'R', 2.5, "", 14}, {'I', 3, "", 20}}},
    {"separators are free",
     "3,4 5;6",
     -1,
     {{'I', 3, "", 1}, {'I', 4, "", 3}, {'I', 5, "", 5}, {'I', 6, "", 7}}},
    {"exponent real", "-.5e-2", -1, {{'R', -0.005, "", 6}}},
    {"exponent token as integer", "-.5e-2 9", -1, {{'I', 0, "", 6}, {'I', 9, "", 8}}},
    {"fraction as integer takes the whole token", "12.7", -1, {{'I', 12, "", 4}, {'I', 0, "", 4}}},
    // The exponent letters of Fortran output: a number is read whole, never as its digits
    // before the letter.
    {"D and d exponents",
     "1.5D3 1d2 -2.5d-1",
     -1,
     {{'R', 1500, "", 5}, {'I', 100, "", 9}, {'R', -0.25, "", 17}}},
    {"exponent of a whole number as integer",
     "2.5e1 2.5E-1",
     -1,
     {{'I', 25, "", 5}, {'I', 0, "", 12}}},
    // A token that is no number gives its leading number.
    {"tokens that are no number",
     "1e 1.2.3 --5 7",
     -1,
     {{'R', 1, "", 2}, {'R', 1.2, "", 8}, {'I', 0, "", 12}, {'I', 7, "", 14}}},
    {"end of buffer gives zero",
     "7",
     -1,
     {{'I', 7, "", 1}, {'I', 0, "", 1}, {'R', 0, "", 1}, {'L', 64, "", 1}}},
    {"CRLF file: lines and numbers across line ends",
     "Title\r\n12,3.5\r\n\r\n  7\r\nName\r\n",
     -1,
     {{'L', 64, "Title", 5},
      {'I', 12, "", 9},
      {'R', 3.5, "", 13},
      {'I', 7, "", 20},
      {'L', 64, "Name", 26}}},
    {"control bytes and byte 255 skipped before a line",
     "\xff\x01\x1f \t\r\n\xffTitle\r\n",
     -1,
     {{'L', 64, "Title", 13}}},
    {"byte 255 before a number", "\xff\xff-5", -1, {{'I', -5, "", 4}}},
    {"nothing read at or past the length", "123456", 3, {{'I', 123, "", 3}, {'I', 0, "", 3}}},
    {"line stops at the length", "abcdef", 3, {{'L', 64, "abc", 3}}},
    // A token used to end after 80 bytes, its rest read as the next number.
    {"token of more than 80 bytes is one number",
     std::string(85, '1') + " 7",
     -1,
     {{'R', 1.1111111111111111e84, "", 85}, {'I', 7, "", 87}}},
    {"100000 leading zeros",
     std::string(100000, '0') + "41," + std::string(100000, '0') + "2.5e-1",
     -1,
     {{'I', 41, "", 100002}, {'R', 0.25, "", 200009}}},
};

TEST(TextReaders, TableOfBuffers) {
    for (const ReaderCase& c : reader_cases) {
        SCOPED_TRACE(c.name);
        // An exact-size copy without a terminating zero, so a read past the length is caught
        // by the sanitizer build.
        std::unique_ptr<char[]> bytes(new char[c.buffer.size()]);
        std::copy(c.buffer.begin(), c.buffer.end(), bytes.get());
        const std::int32_t length = c.length < 0 ? std::int32_t(c.buffer.size()) : c.length;
        std::int32_t cursor = 0;
        for (const Read& r : c.reads) {
            if (r.kind == 'L') {
                char line[64];
                std::fill(line, line + 64, '#');
                const int stored = read_buffer_line(bytes.get(), line, cursor, length,
                                                    static_cast<std::int32_t>(r.value));
                EXPECT_EQ(std::string(line), r.text);
                EXPECT_EQ(stored, int(r.text.size()));
            } else if (r.kind == 'R') {
                EXPECT_DOUBLE_EQ(read_buffer_real(bytes.get(), cursor, length), r.value);
            } else {
                EXPECT_EQ(read_buffer_int(bytes.get(), cursor, length), int(r.value));
            }
            EXPECT_EQ(cursor, r.cursor_after) << "after read " << (&r - c.reads.data());
        }
    }
}

// What a whole number token is: sign, digits with at most one point, and an exponent of
// digits after e, E, d or D.
TEST(TextReaders, WholeNumberTokens) {
    const struct {
        const char* text;
        bool whole;
        double value;
    } cases[] = {{"100", true, 100},    {"-.5e-2", true, -0.005}, {"1D2", true, 100},
                 {"+7.", true, 7},      {"1e", false, 1},         {"1e+", false, 1},
                 {"1.2.3", false, 1.2}, {"--5", false, 0},        {"-", false, 0},
                 {".", false, 0},       {"1-2", false, 1},        {"2d1e3", false, 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string text = std::string("x ") + c.text + " 9";
        std::int32_t cursor = 0;
        const NumberToken token =
            read_buffer_number(text.data(), cursor, std::int32_t(text.size()));
        EXPECT_EQ(token.start, 2);
        EXPECT_EQ(token.size, std::int32_t(std::strlen(c.text)));
        EXPECT_EQ(token.whole, c.whole);
        EXPECT_DOUBLE_EQ(token.value, c.value);
    }
}

TEST(TextReaders, IntegerBeyondRangeIsHeld) {
    const std::string text = "99999999999 -99999999999";
    std::int32_t cursor = 0;
    EXPECT_EQ(read_buffer_int(text.data(), cursor, std::int32_t(text.size())), INT32_MAX);
    EXPECT_EQ(read_buffer_int(text.data(), cursor, std::int32_t(text.size())), INT32_MIN);
}

// ---- Sorts, permutations, gathers ------------------------------------------------------------

TEST(Sorts, AscendingAndDescendingWithIndex) {
    struct Case {
        int ascending;
        std::vector<float> values, sorted;
        std::vector<std::int32_t> index;
    } cases[] = {
        {1, {3, 1, 2}, {1, 2, 3}, {2, 3, 1}},
        {0, {3, 1, 2}, {3, 2, 1}, {1, 3, 2}},
        {1, {5, -1, 4, 4, 0, 9, -3}, {-3, -1, 0, 4, 4, 5, 9}, {}},
        {0, {5, -1, 4, 4, 0, 9, -3}, {9, 5, 4, 4, 0, -1, -3}, {}},
        {1, {}, {}, {}},
    };
    for (const Case& c : cases) {
        std::vector<float> v = c.values;
        std::vector<std::int32_t> idx(v.size());
        shell_sort_real_index(c.ascending, v.data(), idx.data(), int(v.size()));
        EXPECT_EQ(v, c.sorted);
        if (!c.index.empty()) {
            EXPECT_EQ(idx, c.index);
        }
        // Whatever the ties, the index names where each sorted value came from.
        for (std::size_t p = 0; p < v.size(); ++p)
            EXPECT_EQ(v[p], c.values[idx[p] - 1]);

        std::vector<std::int32_t> iv(c.values.begin(), c.values.end()), iidx(v.size());
        shell_sort_int_index(c.ascending, iv.data(), iidx.data(), int(iv.size()));
        EXPECT_EQ(std::vector<float>(iv.begin(), iv.end()), c.sorted);
    }
}

// The order of equal values is that of the Shell sort with halving gaps that exchanges equal
// neighbours (datum lists and data files follow it): the insertion sort written out here is
// the reference, on lists with long runs of equal values as the datum depths have them.
TEST(Sorts, EqualValuesEndInTheOrderOfTheInsertionShellSort) {
    auto reference = [](std::vector<float> v, int ascending) {
        const int n = int(v.size());
        std::vector<std::int32_t> index(v.size());
        for (int p = 0; p < n; ++p) {
            index[p] = p + 1;
            if (!ascending) v[p] = -v[p];
        }
        for (int gap = n / 2; gap != 0; gap /= 2)
            for (int i = 1; i <= n - gap; ++i)
                for (int j = i; j >= 1 && v[j - 1] >= v[j + gap - 1]; j -= gap) {
                    std::swap(v[j - 1], v[j + gap - 1]);
                    std::swap(index[j - 1], index[j + gap - 1]);
                }
        return index;
    };
    unsigned seed = 12345;
    for (int n : {2, 3, 17, 64, 1000, 4099})
        for (int distinct : {1, 3, 40})
            for (int ascending : {0, 1}) {
                std::vector<float> v(std::size_t(n), 0.0f);
                for (float& x : v) {
                    seed = seed * 1103515245u + 12345u;
                    x = float((seed >> 16) % unsigned(distinct));
                }
                const std::vector<std::int32_t> expected = reference(v, ascending);
                std::vector<float> sorted = v;
                std::vector<std::int32_t> index(v.size());
                shell_sort_real_index(ascending, sorted.data(), index.data(), n);
                EXPECT_EQ(index, expected) << n << " values, " << distinct << " distinct";
                std::vector<std::int32_t> iv(v.begin(), v.end()), iindex(v.size());
                shell_sort_int_index(ascending, iv.data(), iindex.data(), n);
                EXPECT_EQ(iindex, expected) << n << " integers, " << distinct << " distinct";
            }
}

TEST(Sorts, GatherPutsCompanionInSortedOrderAndPermuteScatters) {
    std::vector<float> depth = {30, 10, 20};
    std::vector<float> label = {300, 100, 200};
    std::vector<std::int32_t> index(3), ilabel = {3, 1, 2}, iwork(3);
    std::vector<float> work(3);
    shell_sort_real_index(1, depth.data(), index.data(), 3);
    gather_real_by_index(label.data(), work.data(), index.data(), 3);
    EXPECT_EQ(label, (std::vector<float>{100, 200, 300}));
    gather_int_by_index(ilabel.data(), iwork.data(), index.data(), 3);
    EXPECT_EQ(ilabel, (std::vector<std::int32_t>{1, 2, 3}));

    std::vector<double> v = {1.0, 2.0, 3.0}, dwork(3);
    const std::int32_t perm[] = {2, 3, 1};
    permute_vector(dwork.data(), v.data(), perm, 3);
    EXPECT_EQ(v, (std::vector<double>{3.0, 1.0, 2.0}));
}

// ---- Numbers ----------------------------------------------------------------------------------

TEST(Numbers, RoundToIntHalvesAwayFromZero) {
    const struct {
        float x;
        std::int32_t k;
    } cases[] = {{2.5f, 3},  {-2.5f, -3}, {2.4999f, 2}, {0.0f, 0},
                 {-0.0f, 0}, {0.5f, 1},   {-0.5f, -1},  {0.4999f, 0},
                 {7.0f, 7},  {-7.0f, -7}, {-7.49f, -7}, {1e6f + 0.5f, 1000001}};
    for (const auto& c : cases)
        EXPECT_EQ(round_to_int(c.x), c.k) << c.x;
    EXPECT_DOUBLE_EQ(round_to_thousandths(2.0004f), 2.0);
    EXPECT_DOUBLE_EQ(round_to_thousandths(-1.0006f), -1001 * 0.001);
}

// Floats beyond the int range (a 1e12 m hill in pixels) are clamped, never converted with
// overflow, so that a pixel plus an offset or the width between two still fits an int.
TEST(Numbers, HugeFloatsAreClampedBeforeConversion) {
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float x;
        std::int32_t k;
    } cases[] = {{1e12f, 1 << 29},   {-1e12f, -(1 << 29)},      {inf, 1 << 29}, {-inf, -(1 << 29)},
                 {std::nanf(""), 0}, {536870900.0f, 536870912}, {-2.6f, -3}};
    for (const auto& c : cases) {
        EXPECT_EQ(round_to_int(c.x), c.k) << c.x;
        EXPECT_EQ(truncate_to_int(c.x), c.x == -2.6f ? -2 : c.k) << c.x;
    }
    EXPECT_EQ(round_to_int(1e12f) - round_to_int(-1e12f), 1 << 30);
}

TEST(Numbers, Index2dLevelCountsAndReverse) {
    EXPECT_EQ(index2d(1, 1, 7), 0);
    EXPECT_EQ(index2d(3, 2, 10), 12);
    EXPECT_EQ(index2d(10, 1, 10), 9);
    EXPECT_EQ(index2d(1, 3, 5), 10);

    const struct {
        int code, m, k, count;
    } levels[] = {{1, 20, 1, 20}, {1, 20, 3, 14}, {3, 20, 2, 17}, {7, 20, 3, 16},
                  {5, 20, 3, 18}, {4, 20, 1, 20}, {15, 20, 5, 16}};
    for (const auto& c : levels)
        EXPECT_EQ(level_datum_count(c.code, c.m, c.k), c.count);

    std::vector<float> odd = {1, 2, 3}, even = {1, 2, 3, 4};
    reverse_real_array(3, odd.data());
    reverse_real_array(4, even.data());
    reverse_real_array(0, nullptr);
    EXPECT_EQ(odd, (std::vector<float>{3, 2, 1}));
    EXPECT_EQ(even, (std::vector<float>{4, 3, 2, 1}));
}

TEST(Numbers, CopyTextIsBoundedAndTerminated) {
    char small[4] = {'x', 'x', 'x', 'x'};
    model::copy_text(small, sizeof small, "abcdef");
    EXPECT_STREQ(small, "abc");
    model::copy_text(small, sizeof small, nullptr);
    EXPECT_STREQ(small, "");
}

// ---- Cell conductivities from block codes ---------------------------------------------------

// A grid of 5 cell columns and 3 cell rows (l = 6, n = 4); the model blocks span columns 2..4,
// and columns 1 and 5 hold a code (4) that must not be used.
struct CodeGrid {
    static constexpr int l = 6, n = 4, cols = 5, rows = 3;
    const float resistivities[5] = {10, 20, 40, 50, 1000};
    const float chargeabilities[5] = {0.1f, 0.2f, 0.3f, 0.4f, 0.9f};
    std::int32_t codes[cols * rows], ip_codes[cols * rows];
    float conductivity[cols * rows] = {}, ip_conductivity[cols * rows] = {};
    CodeGrid() {
        const int model_codes[rows][3] = {{0, 1, 2}, {1, 2, 3}, {2, 3, 0}};
        for (int j = 1; j <= rows; ++j)
            for (int i = 1; i <= cols; ++i) {
                const bool inside = i >= 2 && i <= 4;
                codes[index2d(i, j, cols)] = inside ? model_codes[j - 1][i - 2] : 4;
                ip_codes[index2d(i, j, cols)] = inside ? (model_codes[j - 1][i - 2] + 1) % 4 : 4;
            }
    }
    // Code of the model column that cell column i takes.
    int code_at(int i, int j) const { return codes[index2d(i < 2 ? 2 : (i > 4 ? 4 : i), j, cols)]; }
    int ip_code_at(int i, int j) const {
        return ip_codes[index2d(i < 2 ? 2 : (i > 4 ? 4 : i), j, cols)];
    }
};

TEST(SetCode2Res, EdgeColumnsExtendToTheBorder) {
    std::unique_ptr<ModelSettings> settings(new ModelSettings());
    CodeGrid g;
    set_code2res(*settings, 1, g.chargeabilities, g.ip_codes, g.ip_conductivity, g.l, g.n, 2, 4,
                 g.codes, g.conductivity, g.resistivities);
    // Row 1 spelled out: codes 0 0 1 2 2 after the extension.
    const float row1[5] = {1 / 10.0f, 1 / 10.0f, 1 / 20.0f, 1 / 40.0f, 1 / 40.0f};
    for (int i = 1; i <= 5; ++i)
        EXPECT_FLOAT_EQ(g.conductivity[index2d(i, 1, 5)], row1[i - 1]);
    for (int j = 1; j <= g.rows; ++j)
        for (int i = 1; i <= g.cols; ++i) {
            const int k = index2d(i, j, g.cols);
            const float sigma = 1.0f / g.resistivities[g.code_at(i, j)];
            EXPECT_FLOAT_EQ(g.conductivity[k], sigma) << i << "," << j;
            EXPECT_FLOAT_EQ(g.ip_conductivity[k],
                            (1.0f - g.chargeabilities[g.ip_code_at(i, j)]) * sigma);
        }
}

TEST(SetCode2Res, WithoutIpValuesTheIpTablesAreNotTouched) {
    std::unique_ptr<ModelSettings> settings(new ModelSettings());
    CodeGrid g;
    set_code2res(*settings, 0, nullptr, nullptr, nullptr, g.l, g.n, 2, 4, g.codes, g.conductivity,
                 g.resistivities);
    EXPECT_FLOAT_EQ(g.conductivity[index2d(5, 3, 5)], 1 / 10.0f);
}

TEST(SetCode2Res, TankWallsGetTheWallResistivity) {
    std::unique_ptr<ModelSettings> settings(new ModelSettings());
    settings->tank_model = 1;
    settings->tank_left_column = 1;
    settings->tank_right_column = 5;
    settings->tank_bottom_row = 3;
    settings->tank_wall_resistivity = 1.0e5f;
    CodeGrid g;
    set_code2res(*settings, 1, g.chargeabilities, g.ip_codes, g.ip_conductivity, g.l, g.n, 2, 4,
                 g.codes, g.conductivity, g.resistivities);
    for (int j = 1; j <= g.rows; ++j)
        for (int i = 1; i <= g.cols; ++i) {
            const int k = index2d(i, j, g.cols);
            const bool wall = i <= 1 || i >= 5 || j >= 3;
            const float sigma = wall ? 1.0e-5f : 1.0f / g.resistivities[g.code_at(i, j)];
            EXPECT_FLOAT_EQ(g.conductivity[k], sigma) << i << "," << j;
            if (wall) {
                EXPECT_FLOAT_EQ(g.ip_conductivity[k], sigma);
            }
        }
}

// ---- Logarithmic misfit -----------------------------------------------------------------------

TEST(RmsLogMisfit, ModesAndRms) {
    test_support::Headless ui;
    const float measured[3] = {std::exp(1.0f) * 10, 20 / std::exp(1.0f), 30};
    const float calculated[3] = {10, 20, 30};
    float shown[3], ratio[3], rms = -1;

    EXPECT_EQ(rms_log_misfit(0, 3, shown, measured, calculated, &rms, ratio), 0);
    EXPECT_FLOAT_EQ(shown[0], measured[0]);
    EXPECT_NEAR(ratio[0], 1.0, 1e-6);
    EXPECT_NEAR(ratio[1], -1.0, 1e-6);
    EXPECT_FLOAT_EQ(ratio[2], 0.0f);
    EXPECT_NEAR(rms, std::sqrt(2.0 / 3.0), 1e-6);

    rms_log_misfit(2, 3, shown, measured, calculated, &rms, ratio);
    EXPECT_NEAR(shown[0], 100.0, 1e-4);
    EXPECT_EQ(ui.output(), "");

    rms_log_misfit(1, 3, shown, measured, calculated, &rms, ratio);
    EXPECT_FLOAT_EQ(shown[1], calculated[1]);
}

TEST(RmsLogMisfit, IdenticalValuesShowTheMessageOnceAndTheCalculatedValues) {
    test_support::Headless ui;
    const float values[2] = {15, 25};
    float shown[2], ratio[2], rms = -1;
    EXPECT_EQ(rms_log_misfit(2, 2, shown, values, values, &rms, ratio), 2);
    EXPECT_FLOAT_EQ(rms, 0.0f);
    EXPECT_FLOAT_EQ(shown[0], 15.0f);
    EXPECT_FLOAT_EQ(shown[1], 25.0f);
    EXPECT_EQ(ui.output(),
              "BEEP\nBOX [Message] There is absolutely no difference between the measured and\\n"
              "calculated apparent resistivity values. So, the program\\nwill display the "
              "calculated apparent resistivity values.\n");

    float none_shown[1], none_ratio[1];
    rms = -1;
    rms_log_misfit(2, 0, none_shown, values, values, &rms, none_ratio);
    EXPECT_FLOAT_EQ(rms, 0.0f); // no data: no message, no division by zero
    EXPECT_EQ(ui.output().find("BOX", 10), std::string::npos);
}

} // namespace
