// Program limits by screen width and physical memory.
#include "shell/limits.h"

#include "model/records.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint64_t mib = 1048576;

TEST(ProgramLimits, ElectrodesAndDataPointsByScreenAndMemory) {
    struct Case {
        int width;
        std::uint64_t memory;
        int electrodes, data_points;
    } cases[] = {
        {1024, 512 * mib, 161, 16000},
        {1280, 800 * mib, 257, 16000},
        {1280, 1024 * mib, 295, 80000},
        {1920, 1024 * mib, 501, 80000},
        {2560, 1024 * mib, 601, 80000},
        {2560, 600 * mib, 275, 16000},
        {2560, 400 * mib, 161, 16000}, // exactly 400 MiB: the base values
        {2560, 400 * mib + 1, 275, 16000},
        {1000, 900 * mib, 165, 16000}, // exactly 900 MiB is not "more than 900"
        {1000, 900 * mib + 1, 231, 80000},
        {900, 4096 * mib, 161, 80000},  // width not above 900
        {1024, 4096 * mib, 231, 80000}, // width not above 1024
        {1500, 800 * mib, 257, 16000},
        {2000, 2048 * mib, 501, 80000},
    };
    for (const Case& c : cases) {
        ProgLim lim;
        shell::set_program_limits(lim, c.width, c.memory);
        EXPECT_EQ(lim.max_electrodes, c.electrodes) << c.width << " px " << c.memory / mib;
        EXPECT_EQ(lim.max_data_points, c.data_points) << c.width << " px " << c.memory / mib;
    }
}

TEST(ProgramLimits, DerivedLimitsAndCopies) {
    ProgLim lim;
    shell::set_program_limits(lim, 1024, 512 * mib);
    // 161 line electrodes at 4 nodes a spacing with margins of 24 columns: 2 x 24 + 640 - 1.
    EXPECT_EQ(lim.max_node_columns, 687);
    EXPECT_EQ((lim.max_node_columns - 1) * (lim.max_node_rows - 1), 115934);
    EXPECT_EQ(lim.max_node_rows, 170);
    EXPECT_EQ(lim.max_n, 70);
    EXPECT_EQ(lim.max_levels, 160);
    EXPECT_EQ(lim.max_resistivity_values, 33);
    EXPECT_EQ(lim.max_spacing_ratio, 160);
    EXPECT_EQ(lim.max_borehole_electrodes, 32);
    EXPECT_EQ(lim.max_boreholes, 30);
    EXPECT_EQ(lim.max_frequencies, 12);
    EXPECT_EQ(lim.max_plot_levels, 40); // the constructor's value stays
    for (int copy :
         {lim.max_topo_points, lim.max_electrodes_b, lim.max_electrodes_c, lim.max_electrodes_d})
        EXPECT_EQ(copy, 161);
    EXPECT_EQ(lim.max_node_columns_b, 687);

    // The block editor's second tag plane lies one rows x columns plane further on, inside the
    // 16-plane tag table, whatever the memory.
    for (std::uint64_t memory : {512 * mib, 2048 * mib}) {
        ProgLim l;
        shell::set_program_limits(l, 1920, memory);
        EXPECT_EQ(l.max_node_rows_b, l.max_node_rows);
        EXPECT_GT(l.max_node_rows_b * l.max_node_columns_b, 0);
    }
}

} // namespace
