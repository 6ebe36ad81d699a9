// The program limits set at window creation from the screen width and the physical memory.
#pragma once

#include <cstdint>

class ProgLim;

namespace shell {

/// A screen width of the widest tier: with more than 900 MiB it gives 601 electrodes.
constexpr int widest_tier_width = 2001;

/// Sets every window-creation limit of `limits` from the screen width in pixels and the
/// physical memory in bytes: the number of electrodes N (161, raised by width and memory above
/// 400 MiB), the data points (16000, 80000 above 900 MiB), the node columns X = max(4N + 43,
/// 227) (N line electrodes at 4 nodes a spacing within margins of 24 columns), 170 node rows
/// and the fixed bounds, and the copies of N and X. The block editor's plane rows are the node
/// rows, so its second tag plane never aliases the first. The processor fields are left alone.
void set_program_limits(ProgLim& limits, int screen_width, std::uint64_t memory_bytes);

} // namespace shell
