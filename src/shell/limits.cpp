// Program limits from the screen width and the physical memory.
#include "shell/limits.h"

#include "model/records.h"

#include <algorithm>

namespace shell {

namespace {

constexpr std::uint64_t mib = 1048576;

struct BaseLimits {
    int electrodes;
    int data_points;
};

// Larger screens get more electrodes, when the memory can hold the tables; each test in turn,
// a later hit overriding an earlier one (the comparisons are strict).
BaseLimits base_limits(int width, std::uint64_t memory) {
    BaseLimits b{161, 16000};
    if (memory <= 400 * mib) return b;
    const bool big = memory > 900 * mib;
    if (width > 900 && memory > 700 * mib) b.electrodes = big ? 231 : 165;
    if (width > 1024) b.electrodes = big ? 295 : 257;
    if (width > 1500) b.electrodes = big ? 501 : 275;
    if (width > 2000) b.electrodes = big ? 601 : 275;
    if (big) b.data_points = 80000;
    return b;
}

} // namespace

void set_program_limits(ProgLim& limits, int screen_width, std::uint64_t memory_bytes) {
    const BaseLimits b = base_limits(screen_width, memory_bytes);
    const int n = b.electrodes;
    limits.max_electrodes = n;
    limits.max_data_points = b.data_points;
    limits.max_n = 70;
    limits.max_levels = 160;
    limits.max_resistivity_values = 33;
    limits.max_node_rows = 170;
    // N electrodes at 4 nodes a spacing with the 24 margin columns a side of line electrodes:
    // 2 x 24 + 4 (N - 1) - 1.
    limits.max_node_columns = std::max(4 * n + 43, 227);
    limits.max_topo_points = n;
    limits.max_spacing_ratio = 160;
    limits.max_electrodes_b = n;
    limits.max_electrodes_c = n;
    limits.max_electrodes_d = n;
    limits.max_node_columns_b = limits.max_node_columns;
    // The editor finds its second tag plane at rows x columns; a zero row count made both
    // planes one and the same.
    limits.max_node_rows_b = limits.max_node_rows;
    limits.limit_4 = 4;
    limits.max_borehole_electrodes = 32;
    limits.max_boreholes = 30;
    limits.max_frequencies = 12;
    limits.limit_20 = 20;
}

} // namespace shell
