// Block-sensitivity benchmark: a 48-electrode homogeneous half-space calculated by the band
// finite-element solver with the sensitivity work files, then the block Jacobian of its Wenner
// alpha data (spacings 1 to 8), the integrated sensitivity and the damped resolution. Prints the
// time and peak page memory of each step and, as checks, the sum of the Jacobian over the blocks
// for the middle datum of spacings 1 and 8 (1 less what lies outside the blocks: the sixteen
// block rows reach 6.9 spacings down: far below the first datum, not below the second), and
// the mean and the sum of the resolution (the sum, the number of blocks the data resolve, is at
// most the number of data).
#include "fesolve/fesolve.h"
#include "model/globals.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"
#include "sensitivity/block_sensitivity.h"
#include "support/fe_mesh.h"
#include "support/model_records.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double rho = 10.0;
constexpr int nelec = 48, margin = 20, per_spacing = 4, max_rows = 100;

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void build_model() {
    ModelSettings& s = Modelsettings;
    test_support::lay_out_bench_mesh(s, nelec, margin, per_spacing, max_rows, rho);
    s.ngrid_rows = 16;
    s.unit_spacing = 1.0f;
    s.array_type = 1;
}

// Wenner alpha data of spacings 1 to 8 with the apparent resistivity of the finite-element run.
void wenner_data() {
    ModelSettings& s = Modelsettings;
    const auto potential = [&](int i, int j) {
        return s.potential_table_a[index2d(i, j, Proglim.max_electrodes)];
    };
    int d = 0;
    for (int a = 1; a <= 8; ++a)
        for (int i = 1; i + 3 * a <= nelec; ++i, ++d) {
            const int c1 = i, p1 = i + a, p2 = i + 2 * a, c2 = i + 3 * a;
            s.datum_c1[d] = c1, s.datum_p1[d] = p1, s.datum_p2[d] = p2, s.datum_c2[d] = c2;
            s.datum_nelec[d] = 4;
            s.datum_gfactor[d] = float(2 * pi * a);
            s.app_resistivity[d] = float(
                2 * pi * a *
                (potential(c1, p1) - potential(c1, p2) - potential(c2, p1) + potential(c2, p2)));
        }
    s.ndata = d;
}

// The sum of the Jacobian over the blocks for datum d; the file is in block order (block b holds
// the ndata values of that block).
double jacobian_sum(int d) {
    const ModelSettings& s = Modelsettings;
    std::vector<char> bytes;
    sys::read_whole_file(s.grfile_file, bytes);
    if (bytes.size() < std::size_t(4) * s.ndata * s.sens_nblocks) return 0.0;
    double sum = 0.0;
    for (int b = 0; b < s.sens_nblocks; ++b) {
        float v;
        std::memcpy(&v, bytes.data() + 4 * (std::size_t(b) * s.ndata + d), 4);
        sum += v;
    }
    return sum;
}

} // namespace

int main() {
    if (init_globals() != 0) return 1;
    Proglim = test_support::bench_limits(nelec, max_rows, per_spacing);
    if (model::allocate_model_arrays(Modelsettings, Potentialtables, Proglim) != 0) return 1;
    const std::string folder = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                               "/vd_sens_bench_" + std::to_string(getpid()) + "_";
    model::set_work_file_paths(Modelsettings, Modelresolution, folder);
    build_model();
    ModelSettings& s = Modelsettings;
    s.jacob = 1;
    sys::reset_page_peak();
    auto start = std::chrono::steady_clock::now();
    fe::Inputs in = fe::make_inputs(s, Proglim, s.driver_cells_2x, s.potential_table_a,
                                    s.potential_table_b, Potentialtables.fe_vector_a);
    in.nboreholes = 0;
    in.nelec = in.nelec_total = nelec;
    in.electrode_offset_ratio = 1.0f;
    in.margin_columns = margin;
    in.nodes_per_spacing = per_spacing;
    const int solved = calresfem_sym_dbl(in).code();
    std::printf("%d electrodes, mesh %d x %d nodes: forward run with work files %.3f s, peak %.1f "
                "MiB (result %d)\n",
                nelec, s.nx_nodes, s.nz_nodes, seconds_since(start),
                double(sys::page_bytes_peak()) / (1024.0 * 1024.0), solved);
    wenner_data();
    for (int resolution = 0; resolution <= 1; ++resolution) {
        s.calc_resolution = resolution;
        sys::reset_page_peak();
        start = std::chrono::steady_clock::now();
        const int result = calculate_sensitivity_resolution(s);
        std::printf("%d data, %d blocks, resolution %d: %.3f s, peak %.1f MiB (result %d)\n",
                    s.ndata, s.sens_nblocks, resolution, seconds_since(start),
                    double(sys::page_bytes_peak()) / (1024.0 * 1024.0), result);
    }
    // The middle datum of spacing 1, and of spacing 8 (the data of spacing a number 48 - 3a).
    int first_of_8 = 0;
    for (int a = 1; a < 8; ++a)
        first_of_8 += nelec - 3 * a;
    std::printf("sum of the Jacobian over the blocks, middle datum of spacing 1: %.4f, of spacing "
                "8: %.4f\n",
                jacobian_sum(nelec / 2 - 2), jacobian_sum(first_of_8 + (nelec - 24) / 2));
    double sum = 0.0;
    for (int b = 0; b < s.sens_nblocks; ++b)
        sum += s.resolution[b];
    std::printf("resolution: mean %.4f, sum %.1f for %d data\n", sum / s.sens_nblocks, sum,
                s.ndata);
    std::fflush(stdout);
    model::exit_globals();
    return 0;
}
