// The work space of an optimisation run.
#include "optimise/workspace.h"

#include "matrix/dense.h"
#include "matrix/matrixfile.h"
#include "matrix/packed.h"
#include "model/records.h"
#include "model/services.h"
#include "optimise/grid.h"
#include "platform/sys/sys.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace opt {

WorkSpace work_space_needed(const ModelResolution& s, const Grid& grid, int comprehensive, int base,
                            int threads) {
    const long long b = grid.nblocks, n = grid.nelec, k = comprehensive;
    const long long packed = b * (b + 1) / 2, table = 4 * b * n * (n - 1) / 2;
    // The set grows while it is below the largest set; the last iteration adds up to m + 1
    // arrays, and m + N when it keeps the set symmetric.
    const long long chosen =
        std::min<long long>(base + k, std::max<long long>(base, s.opt_max_arrays) + n + 1);
    WorkSpace need;
    need.disk = table + 16 * base + 2 * 16 * k + 4 * b * k + 2 * 4 * b * chosen + 4 * 8 * packed;
    const long long held = table + 2 * 8 * packed + 3 * 4 * b + 4 * k + 16 * chosen;
    const long long ranking = 4 * k + 16 * k;
    const long long added = 4 * b * (2 * chosen + n);
    const long long step = std::max({8 * k, hessian_build_bytes(b, k), 8 * packed + 8 * b,
                                     2 * 8 * packed + 4 * b + packed_inversion_bytes(int(b)),
                                     mx::RankOneDiagonals::bytes(int(b), threads) +
                                         threads * 2 * 4 * mx::RankOneDiagonals::lanes * b,
                                     added});
    need.memory = held + ranking + step;
    return need;
}

std::string work_folder(const ModelResolution& s) {
    const char* path = s.work_files[3];
    const char* slash = std::strrchr(path, '/');
    if (!slash) return ".";
    return slash == path ? "/" : std::string(path, std::size_t(slash - path));
}

bool work_space_available(const ModelResolution& s, const WorkSpace& need) {
    const std::string folder = work_folder(s);
    long long disk = sys::free_disk_bytes(folder);
    if (disk < 0) disk = need.disk;
    const long long memory = sys::free_memory_bytes();
    if (need.disk <= disk && need.memory <= memory) return true;
    const double mb = 1.0 / (1 << 20);
    char text[1024 + sys::path_max];
    std::snprintf(text, sizeof text,
                  "The array optimisation needs %.1f MB of disk space for its work files in\n%s\n"
                  "and %.1f MB of memory.\nThere are %.1f MB of disk space and %.1f MB of memory "
                  "free.\nFewer electrodes or a smaller maximum 'n' factor need less.",
                  double(need.disk) * mb, folder.c_str(), double(need.memory) * mb,
                  double(disk) * mb, double(memory) * mb);
    model::show_message(text, "Message");
    return false;
}

} // namespace opt
