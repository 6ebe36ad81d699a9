// Cylinder benchmark: the real envelope solver on homogeneous cylinders of 16, 32 and 64
// electrodes (4 sectors a spacing) with 10 to 40 rings. Prints the time per wavenumber (processor
// time: the solvers run in one thread, and on a shared machine it varies less), the peak page
// memory, the error of the Wenner-alpha level-1 transfer value against the series solution of
// the cylinder, and whether element matrices kept for the run and computed at every wavenumber
// give the same table; then the complex solver's pass for one frequency of a Cole-Cole medium
// (15 wavenumbers), with the element matrices kept and recomputed.
#include "cylinder/cylinder.h"
#include "cylinder/mesh.h"
#include "ipsolve/colecole.h"
#include "model/globals.h"
#include "platform/sys/sys.h"
#include "support/cylinder_series.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double rho = 100.0;

// Radii from 1 to 0.15, each ring 1.25 times as thick as the one outside it (capped so that the
// inner rings stay thin enough for 40 of them).
std::vector<float> radii(int rings) {
    std::vector<float> r;
    const int nr = rings + 1;
    const double growth = std::min(1.25, std::pow(40.0, 1.0 / (nr - 2)));
    const double span = std::pow(growth, nr - 1) - 1.0;
    for (int i = 0; i < nr; ++i)
        r.push_back(float(1.0 - 0.85 * (std::pow(growth, i) - 1.0) / span));
    return r;
}

struct Run {
    double seconds = 0.0, mib = 0.0;
    int result = 0;
    std::vector<double> table;
};

// One run of the real solver, or with `complex` of the complex solver on a Cole-Cole medium
// (m 0.1, tau 0.01, c 0.5) at 10 Hz.
Run run(const cyl::PolarMesh& mesh, int nelec, bool once, bool complex = false) {
    Run r;
    r.table.assign(std::size_t(nelec) * nelec, 0.0);
    std::vector<double> table_im(r.table.size(), 0.0);
    std::vector<float> sigma(mesh.elements(), float(1.0 / rho)), sigma_im(mesh.elements(), 0.0f);
    if (complex) {
        float im = 0.0f, amplitude = 0.0f, phase = 0.0f;
        cole_cole_complex_resistivity(float(rho), 0.1f, 0.01f, 0.5f, 10.0f, &im, &amplitude, &phase,
                                      &sigma[0], &sigma_im[0]);
        std::fill(sigma.begin(), sigma.end(), sigma[0]);
        std::fill(sigma_im.begin(), sigma_im.end(), sigma_im[0]);
    }
    std::vector<std::int32_t> nodes(nelec);
    cyl::SolverInputs in;
    in.nodes_per_spacing = mesh.per_spacing;
    in.nelec = nelec;
    in.sectors = mesh.sectors;
    in.radii = mesh.radii;
    in.node_x = mesh.node_x.get();
    in.node_y = mesh.node_y.get();
    in.conductivity = sigma.data();
    in.conductivity_im = sigma_im.data();
    in.table = r.table.data();
    in.table_im = table_im.data();
    in.lead = nelec;
    in.electrode_nodes = nodes.data();
    in.element_matrices_once = once;
    const long long base = sys::page_bytes_in_use();
    sys::reset_page_peak();
    const std::clock_t start = std::clock();
    r.result =
        (complex ? cyl::solve_transfer_potentials_complex(in) : cyl::solve_transfer_potentials(in))
            .code();
    r.seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
    r.mib = double(sys::page_bytes_peak() - base) / (1024.0 * 1024.0);
    if (complex) r.table.insert(r.table.end(), table_im.begin(), table_im.end());
    return r;
}

} // namespace

int main(int argc, char** argv) {
    const int largest = argc > 1 ? std::atoi(argv[1]) : 64;
    if (init_globals() != 0) return 1;
    std::printf("electrodes rings   nodes   per wavenumber   peak memory   Wenner error   "
                "kept / per-wavenumber matrices\n");
    for (int nelec : {16, 32, 64}) {
        if (nelec > largest) break;
        const double step = 2.0 * pi / nelec;
        const double series =
            rho * 2.0 * test_support::cylinder_series_difference(step, 2.0 * step);
        for (int rings : {10, 20, 40}) {
            const std::vector<float> r = radii(rings);
            cyl::PolarMesh mesh;
            if (cyl::build_polar_mesh(4 * nelec, rings + 1, 4, r.data(), mesh) != cyl::mesh_ok)
                return 1;
            const Run kept = run(mesh, nelec, true), again = run(mesh, nelec, false);
            auto P = [&](int i, int j) { return kept.table[std::size_t(i - 1) + nelec * (j - 1)]; };
            const double wenner = (P(2, 1) - P(2, 4)) - (P(3, 1) - P(3, 4));
            std::printf("%10d %5d %7d %12.1f ms %10.1f MiB %+13.4f %%   %.1f / %.1f ms %s "
                        "(results %d %d)\n",
                        nelec, rings, mesh.nodes(), 1000.0 * kept.seconds / 15.0, kept.mib,
                        100.0 * (wenner / series - 1.0), 1000.0 * kept.seconds / 15.0,
                        1000.0 * again.seconds / 15.0,
                        kept.table == again.table ? "identical" : "DIFFERENT", kept.result,
                        again.result);
            std::fflush(stdout);
        }
    }
    std::printf("\ncomplex pass of one frequency (15 wavenumbers)\n"
                "electrodes rings   kept matrices   per wavenumber   peak memory   "
                "recomputed at every wavenumber\n");
    for (int nelec : {16, 32, 64}) {
        if (nelec > largest) break;
        for (int rings : {10, 20, 40}) {
            const std::vector<float> r = radii(rings);
            cyl::PolarMesh mesh;
            if (cyl::build_polar_mesh(4 * nelec, rings + 1, 4, r.data(), mesh) != cyl::mesh_ok)
                return 1;
            const Run kept = run(mesh, nelec, true, true), again = run(mesh, nelec, false, true);
            std::printf("%10d %5d %12.3f s %13.1f ms %10.1f MiB %12.3f s %s (results %d %d)\n",
                        nelec, rings, kept.seconds, 1000.0 * kept.seconds / 15.0, kept.mib,
                        again.seconds, kept.table == again.table ? "identical" : "DIFFERENT",
                        kept.result, again.result);
            std::fflush(stdout);
        }
    }
    model::exit_globals();
    return 0;
}
