// The standard data sets of every array code: levels and their counts, the level tests, the
// depth grouping, the multiple-gradient set, and the grouping of equal depths.
#include "model/datum_points.h"

#include "fixture.h"
#include "model/depth_tables.h"
#include "model/plot_points.h"
#include "model/utilities.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using datum_test::RecordsFixture;
using Datum = std::tuple<int, int, float>; // first electrode, a, n

class DatumPoints : public RecordsFixture {
  protected:
    int ndata = 0;

    void survey(int array_type, int nelec, int nlev, int n_a_spacings = 1, int n_n_values = 5) {
        settings.array_type = array_type;
        settings.nelec = nelec;
        settings.nlev = nlev;
        settings.n_a_spacings = n_a_spacings;
        settings.n_n_values = n_n_values;
    }
    int run() { return ndata = calc_datum_points(settings, limits); }

    std::vector<int> counts(int levels) const {
        return std::vector<int>(settings.level_counts, settings.level_counts + levels);
    }
    std::multiset<Datum> data() const {
        std::multiset<Datum> set;
        for (int d = 0; d < ndata; ++d)
            set.insert(
                {settings.datum_first_electrode[d], settings.datum_a[d], settings.datum_n[d]});
        return set;
    }
    // Number of the last electrode a datum uses, as the data of a model file are counted.
    int last_electrode(int d) const {
        const int x = settings.datum_first_electrode[d], a = settings.datum_a[d];
        const float n = settings.datum_n[d];
        switch (settings.array_type) {
        case 1:
        case 2:
        case 3:
        case 9:
            return x + 3 * a;
        case 4:
        case 8:
            return x + a;
        case 6:
        case 10:
            return x + round_to_int(a * (std::fabs(n) + 1));
        case 7:
            return x + round_to_int(a * (2 * n + 1));
        default:
            return x + round_to_int(a * (n + 2));
        }
    }
};

// Every datum of level (a, n) at first electrodes 1 .. count.
std::multiset<Datum> level_data(std::initializer_list<std::tuple<int, float, int>> levels) {
    std::multiset<Datum> set;
    for (auto [a, n, count] : levels)
        for (int f = 1; f <= count; ++f)
            set.insert({f, a, n});
    return set;
}

TEST_F(DatumPoints, WennerLevelsStopWhereTheLineEnds) {
    survey(1, 30, 12);
    EXPECT_EQ(run(), 27 + 24 + 21 + 18 + 15 + 12 + 9 + 6 + 3);
    EXPECT_EQ(settings.nlev, 9);
    EXPECT_EQ(counts(9), (std::vector<int>{27, 24, 21, 18, 15, 12, 9, 6, 3}));

    survey(1, 10, 4);
    EXPECT_EQ(run(), 12);
    EXPECT_EQ(settings.nlev, 3);
    EXPECT_EQ(counts(3), (std::vector<int>{7, 4, 1}));
    EXPECT_EQ(data(), level_data({{1, 1, 7}, {2, 1, 4}, {3, 1, 1}}));
}

TEST_F(DatumPoints, DipoleDipoleLevelsSortedByDepth) {
    survey(5, 10, 5, 1, 5);
    EXPECT_EQ(run(), 25);
    EXPECT_EQ(settings.nlev, 5);
    EXPECT_EQ(counts(5), (std::vector<int>{7, 6, 5, 4, 3}));
    EXPECT_FLOAT_EQ(settings.datum_median_depth[0], 0.416f);
    EXPECT_FLOAT_EQ(settings.datum_median_depth[24], 1.476f);
    for (int d = 0; d < 7; ++d)
        EXPECT_EQ(settings.datum_first_electrode[d], d + 1);

    settings.odd_n_only = 1;
    EXPECT_EQ(run(), 15);
    EXPECT_EQ(settings.nlev, 3);
    EXPECT_EQ(counts(3), (std::vector<int>{7, 5, 3}));
    EXPECT_EQ(data(), level_data({{1, 1, 7}, {1, 3, 5}, {1, 5, 3}}));
}

TEST_F(DatumPoints, EveryArrayCodeOnASmallLine) {
    const struct {
        int type, ndata, nlev;
        std::multiset<Datum> expected;
    } cases[] = {
        {1, 18, 3, level_data({{1, 1, 9}, {2, 1, 6}, {3, 1, 3}})},
        {2, 18, 3, level_data({{1, 1, 9}, {2, 1, 6}, {3, 1, 3}})},
        {3, 18, 3, level_data({{1, 1, 9}, {2, 1, 6}, {3, 1, 3}})},
        {4, 30, 3, level_data({{1, 1, 11}, {2, 1, 10}, {3, 1, 9}})},
        {5, 36, 6, level_data({{1, 1, 9}, {1, 2, 8}, {1, 3, 7}, {2, 1, 6}, {2, 2, 4}, {2, 3, 2}})},
        {6, 45, 6, level_data({{1, 1, 10}, {1, 2, 9}, {1, 3, 8}, {2, 1, 8}, {2, 2, 6}, {2, 3, 4}})},
        {7, 29, 5, level_data({{1, 1, 9}, {1, 2, 7}, {1, 3, 5}, {2, 1, 6}, {2, 2, 2}})},
        {8, 30, 3, level_data({{1, 1, 11}, {2, 1, 10}, {3, 1, 9}})},
        {10, 45, 6,
         level_data({{1, 1, 10}, {1, 2, 9}, {1, 3, 8}, {2, 1, 8}, {2, 2, 6}, {2, 3, 4}})},
        {11, 0, 0, {}},
        {12, 0, 0, {}},
        {13, 0, 0, {}},
        {14, 0, 0, {}},
        {16, 0, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("array type " + std::to_string(c.type));
        survey(c.type, 12, 3, 2, 3);
        EXPECT_EQ(run(), c.ndata);
        EXPECT_EQ(settings.nlev, c.nlev);
        EXPECT_EQ(data(), c.expected);
        int in_levels = 0;
        for (int l = 0; l < c.nlev; ++l)
            in_levels += settings.level_counts[l];
        EXPECT_EQ(in_levels, c.ndata);
        for (int d = 0; d < ndata; ++d) {
            EXPECT_GE(settings.datum_first_electrode[d], 1);
            EXPECT_LE(last_electrode(d), 12) << "datum " << d;
        }
    }
}

TEST_F(DatumPoints, DipoleDipoleLevelsOfEqualDepthKeepTheirElectrodes) {
    // a = 2, n = 17 and a = 3, n = 10 both lie 8.160 deep and form one datum level.
    survey(5, 50, 1, 3, 17);
    std::multiset<Datum> expected;
    for (int a = 1; a <= 3; ++a)
        for (int n = 1; n <= 17; ++n)
            for (int f = 1; f <= 50 - (n + 2) * a; ++f)
                expected.insert({f, a, float(n)});
    EXPECT_EQ(run(), int(expected.size()));
    EXPECT_EQ(settings.nlev, 48);
    EXPECT_EQ(data(), expected);
    int start = 0, shared = -1;
    for (int l = 0; start < ndata; start += settings.level_counts[l++])
        if (settings.datum_median_depth[start] == 8.16f) shared = settings.level_counts[l];
    EXPECT_EQ(start, ndata);
    EXPECT_EQ(shared, 12 + 14);
    for (int d = 0; d < ndata; ++d)
        EXPECT_LE(last_electrode(d), 50) << "datum " << d;
}

TEST_F(DatumPoints, GradientLevelsStartInsideTheLine) {
    survey(9, 12, 3);
    EXPECT_EQ(run(), 18);
    EXPECT_EQ(counts(3), (std::vector<int>{9, 6, 3}));
    std::multiset<Datum> expected;
    for (int a = 1; a <= 3; ++a)
        for (int i = 1; i <= 12 - 3 * a; ++i)
            expected.insert({a + i, a, 1.0f});
    EXPECT_EQ(data(), expected);
}

TEST_F(DatumPoints, DepthLimitKeepsShallowLevelsOfEveryArray) {
    // maxdoi = max_depth_ratio / unit_spacing: 3 unit spacings in every case.
    const struct {
        int type, nlev, n_n_values;
        float ratio, unit_spacing;
        int levels;
    } cases[] = {
        {6, 0, 8, 3.0f, 1.0f, 7},  // pole-dipole: n = 7 is 2.863 deep, n = 8 3.247
        {10, 0, 8, 6.0f, 2.0f, 7}, // offset pole-dipole, same depths
        {4, 6, 0, 3.0f, 1.0f, 3},  // pole-pole: 0.84133 a
        {5, 0, 8, 1.0f, 1.0f, 3},  // dipole-dipole: n = 3 is 0.962 deep, n = 4 1.220
        {1, 6, 0, 1.2f, 1.0f, 2},  // Wenner: 0.519 a
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("array type " + std::to_string(c.type));
        survey(c.type, 20, c.nlev, 1, c.n_n_values);
        settings.unit_spacing = c.unit_spacing;
        settings.limit_depth = 1;
        settings.max_depth_ratio = c.ratio;
        EXPECT_GT(run(), 0);
        EXPECT_EQ(settings.nlev, c.levels);
        settings.limit_depth = 0;
        settings.nlev = c.nlev;
        run();
        EXPECT_GT(settings.nlev, c.levels);
    }
}

TEST_F(DatumPoints, GeometricFactorLimitIsStrict) {
    // 3.141593 n (n+1) (n+2) of n = 6 is 1055.5752, just under the default limit.
    survey(5, 30, 1, 1, 10);
    settings.use_max_geometric_factor = 1;
    run();
    EXPECT_EQ(settings.nlev, 6);
    settings.max_geometric_factor = 3.141593f * 6 * 7 * 8;
    run();
    EXPECT_EQ(settings.nlev, 5);
}

TEST_F(DatumPoints, DataStopBeforeTheDataLimit) {
    limits.max_data_points = 26;
    survey(1, 12, 3); // levels of 9, 6 and 3 data; a level starts only below 26 - 12 data
    EXPECT_EQ(run(), 15);
    EXPECT_EQ(settings.nlev, 2);
}

TEST_F(DatumPoints, ReversePoleDipoleDepthsRestoredAfterGrouping) {
    survey(6, 10, 1, 1, 3);
    settings.pole_dipole_reverse = 1;
    EXPECT_EQ(run(), 8 + 7 + 6);
    EXPECT_EQ(counts(3), (std::vector<int>{8, 7, 6}));
    DepthFactorTable table{};
    set_depth_factors_pole_dipole(table);
    for (int d = 0; d < ndata; ++d) {
        const int n = d < 8 ? 1 : d < 15 ? 2 : 3;
        EXPECT_FLOAT_EQ(settings.datum_n[d], float(-n));
        EXPECT_NEAR(settings.datum_median_depth[d], table[n - 1], 6e-4) << "datum " << d;
    }
}

TEST_F(DatumPoints, MeanDepthsFollowTheArrayBeingGenerated) {
    survey(6, 10, 1, 1, 2);
    settings.pseudodepth_type = 1;
    settings.array_type_copy = 5; // the copy still names the array of the previous data set
    run();
    EXPECT_FLOAT_EQ(settings.datum_median_depth[0], 0.693f); // n (n+1)/2 ln((n+1)/n), n = 1
    EXPECT_FLOAT_EQ(settings.datum_median_depth[9], 1.216f); // n = 2
}

// The depth order left for later, worked out on another thread while the settings hold the list
// unordered, places the list, its depths and its level counts of the order made at once.
TEST_F(DatumPoints, AnOrderLeftForLaterPlacesTheListOfTheOrderMadeAtOnce) {
    struct Case {
        int type, nelec, n_a, n_n, reverse, pseudodepth;
    };
    for (const Case c : {Case{5, 40, 6, 8, 0, 0}, Case{6, 30, 3, 6, 1, 0}, Case{7, 35, 4, 5, 0, 1},
                         Case{10, 25, 2, 6, 0, 0}, Case{1, 30, 9, 1, 0, 0}}) {
        SCOPED_TRACE(c.type);
        const auto fresh = [&] {
            survey(c.type, c.nelec, 9, c.n_a, c.n_n);
            settings.pole_dipole_reverse = c.reverse;
            settings.pseudodepth_type = c.pseudodepth;
            std::fill(settings.level_counts, settings.level_counts + limits.max_spacing_ratio + 1,
                      -7);
            std::fill(settings.datum_median_depth,
                      settings.datum_median_depth + limits.max_data_points + 1, -1.0f);
        };
        const auto arrays = [&] {
            return std::make_tuple(std::vector<int>(settings.datum_first_electrode,
                                                    settings.datum_first_electrode + ndata),
                                   std::vector<int>(settings.datum_a, settings.datum_a + ndata),
                                   std::vector<float>(settings.datum_n, settings.datum_n + ndata),
                                   std::vector<float>(settings.datum_median_depth,
                                                      settings.datum_median_depth + ndata),
                                   counts(limits.max_spacing_ratio + 1));
        };
        fresh();
        run();
        const auto now = arrays();
        const int levels = settings.nlev, count = ndata;

        fresh();
        DatumOrder later;
        ndata = calc_datum_points(settings, limits, &later);
        EXPECT_EQ(later.pending(), c.type != 1);
        EXPECT_EQ(ndata, count);
        EXPECT_EQ(settings.nlev, levels);
        std::thread([&] { later.work_out(); }).join();
        later.place(settings);
        EXPECT_FALSE(later.pending());
        EXPECT_TRUE(arrays() == now);
    }
}

TEST_F(DatumPoints, MultipleGradientSegments) {
    survey(15, 24, 5, 1, 5);
    settings.unit_spacing = 2.5f;
    EXPECT_EQ(run(), 21 + 20 + 18);
    EXPECT_EQ(settings.n_n_values, 3);
    EXPECT_EQ(settings.nlev, 0);
    for (int d = 0; d < ndata; ++d) {
        EXPECT_LT(settings.p2_x[d], settings.c2_x[d] - 0.0001f) << d;
        EXPECT_GT(settings.p1_x[d], settings.c1_x[d]) << d;
        EXPECT_LE(settings.c2_x[d], 23 * 2.5f) << d;
        EXPECT_EQ(settings.datum_first_electrode[d], round_to_int(settings.c1_x[d] / 2.5f) + 1);
        EXPECT_EQ(settings.datum_a[d], 1);
    }
    // The last segment of three is pushed back to end at the last electrode.
    EXPECT_FLOAT_EQ(settings.c1_x[ndata - 1], 15 * 2.5f);
    EXPECT_FLOAT_EQ(settings.c2_x[ndata - 1], 23 * 2.5f);
}

TEST_F(DatumPoints, MultipleGradientStopsAtTheDataLimit) {
    limits.max_data_points = 40;
    survey(15, 24, 5, 1, 5);
    const float untouched = -7.0f;
    for (float* column : {settings.c1_x, settings.c2_x, settings.p1_x, settings.p2_x})
        column[40] = untouched;
    settings.datum_first_electrode[40] = -7;
    EXPECT_EQ(run(), 40);
    for (float* column : {settings.c1_x, settings.c2_x, settings.p1_x, settings.p2_x})
        EXPECT_EQ(column[40], untouched);
    EXPECT_EQ(settings.datum_first_electrode[40], -7);
}

TEST_F(DatumPoints, EqualDepthsOfOtherLevelsShareADatumLevelAndKeepTheirElectrodes) {
    float depths[] = {1.0f, 0.5f, 1.0f, 1.0f, 0.5f};
    int first[] = {3, 2, 1, 2, 1};
    int a[] = {1, 1, 2, 1, 1};
    float n[] = {4, 1, 2, 4, 1};
    int count = 5;
    std::multiset<Datum> before;
    for (int d = 0; d < 5; ++d)
        before.insert({first[d], a[d], n[d]});
    EXPECT_EQ(group_datum_levels(1, 160, settings.level_counts, depths, count, first, a, n), 2);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(counts(2), (std::vector<int>{2, 3}));
    std::multiset<Datum> after;
    for (int d = 0; d < 5; ++d)
        after.insert({first[d], a[d], n[d]});
    EXPECT_EQ(after, before);
    EXPECT_EQ((std::vector<int>(first, first + 5)), (std::vector<int>{1, 2, 1, 2, 3}));
    EXPECT_EQ((std::vector<float>(depths, depths + 5)),
              (std::vector<float>{0.5f, 0.5f, 1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(output(), "");
}

TEST_F(DatumPoints, LevelOverflowKeepsTheStoredLevelsOnly) {
    float depths[] = {3, 1, 2, 3, 1, 2};
    int first[] = {1, 1, 1, 2, 2, 2};
    int a[] = {3, 1, 2, 3, 1, 2};
    float n[] = {3, 1, 2, 3, 1, 2};
    int count = 6;
    settings.level_counts[2] = -1;
    EXPECT_EQ(group_datum_levels(1, 2, settings.level_counts, depths, count, first, a, n), 2);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(counts(3), (std::vector<int>{2, 2, -1}));
    for (int d = 0; d < count; ++d)
        EXPECT_LE(a[d], 2);
    EXPECT_EQ(output(), "BEEP\nBOX [Datum levels warning] Too many datum levels!\\nCurrent number "
                        "is 3.\\nMaximum number of datum levels is 2.\n");
}

TEST(DatumGeometry, WennerAndOffsetDipoles) {
    float asymmetry, offset, x;
    EXPECT_FLOAT_EQ(calc_datum_geometry(1, 0, 3, 1, 2, &asymmetry, &offset, &x), 0.519f);
    EXPECT_FLOAT_EQ(asymmetry, 1.0f);
    EXPECT_FLOAT_EQ(offset, 0.0f);
    EXPECT_FLOAT_EQ(x, 1.5f);

    // Dipole-dipole n = 1: the potential dipole right of the current dipole.
    EXPECT_FLOAT_EQ(calc_datum_geometry(1, 1, 0, 2, 3, &asymmetry, &offset, &x), 0.416f);
    EXPECT_FLOAT_EQ(offset, -2.0f);
    EXPECT_FLOAT_EQ(x, (1 + 0 + 4.5f * 5) / 11);

    // Mode 0 centres the potential dipole on the current midpoint: a Schlumberger n = 2.5.
    EXPECT_FLOAT_EQ(
        calc_datum_geometry(0, 0, 6, 4, 5, &asymmetry, &offset, &x),
        float(round_to_thousandths(median_depth_of_investigation(2.5f, 3.5f, 3.5f, 2.5f, 4))));
    EXPECT_FLOAT_EQ(asymmetry, -2.5f);
    EXPECT_FLOAT_EQ(offset, -1.5f);
    // Rounded to four decimals through their text.
    calc_datum_geometry(1, 0, 1, 1.0f / 3, 2.0f / 3, &asymmetry, &offset, &x);
    EXPECT_FLOAT_EQ(asymmetry, 1.0f);
    calc_datum_geometry(1, 0, 7, 1, 4, &asymmetry, &offset, &x);
    EXPECT_FLOAT_EQ(asymmetry, 0.6667f);
}

} // namespace
