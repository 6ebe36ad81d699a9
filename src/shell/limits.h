// The program limits set at window creation from the screen width and the physical memory.
#pragma once

#include <cstdint>

class ProgLim;

namespace shell {

/// Sets every window-creation limit of `limits` from the screen width in pixels and the
/// physical memory in bytes: the number of electrodes N (161, raised by width and memory above
/// 400 MiB), the data points (16000, 80000 above 900 MiB), the node columns X = max(4N + 23,
/// 227), 170 node rows and the fixed bounds, and the copies of N and X. The block editor's
/// plane rows are the node rows, so its second tag plane never aliases the first. The
/// processor fields are left alone.
void set_program_limits(ProgLim& limits, int screen_width, std::uint64_t memory_bytes);

} // namespace shell
