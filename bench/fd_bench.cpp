// Forward runs of the three finite-difference drivers on homogeneous models of growing size:
// time per run and per wavenumber, peak work memory, and the worst error against the
// half-space potential. `fd_bench --large` adds the 301 and 601 electrode models.
#include "default_mesh.h"

#include "fdsolve/fdsolve.h"
#include "model/globals.h"
#include "platform/sys/sys.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    const bool large = argc > 1 && std::strcmp(argv[1], "--large") == 0;
    init_globals();
    struct Formulation {
        const char* name;
        fd_test::Driver run;
    };
    const Formulation formulations[] = {{"Modified 5-point", calaresforward_dbl},
                                        {"Modified 9-point", calaresforward_9pt},
                                        {"Dey & Morrison original", calaresforward_dm}};
    std::vector<int> sizes = {24, 48, 96, 161};
    if (large) sizes.insert(sizes.end(), {301, 601});
    const double rho = 100.0, pi = 3.14159265358979323846;
    const int nky = Modelsettings.nky;

    std::printf("%5s %7s  %-24s %9s %12s %10s %10s %12s\n", "elec", "nodes", "formulation",
                "run [s]", "per k [ms]", "peak [MB]", "worst err", "d <= 20 err");
    for (int nelec : sizes) {
        for (const Formulation& f : formulations) {
            fd_test::Model model(nelec, rho);
            const long long before = sys::page_bytes_in_use();
            sys::reset_page_peak();
            const double start = sys::wall_seconds();
            const model::SolverResult status = model.run(f.run, nky);
            const double seconds = sys::wall_seconds() - start;
            const double peak_mb = double(sys::page_bytes_peak() - before) / (1024.0 * 1024.0);
            double worst = 0.0, worst_near = 0.0;
            for (int a = 1; a < nelec; ++a)
                for (int b = a + 1; b <= nelec; ++b) {
                    const double error = std::fabs(model.pot(a, b) * 2 * pi * (b - a) / rho - 1);
                    worst = std::max(worst, error);
                    if (b - a <= 20) worst_near = std::max(worst_near, error);
                }
            std::printf("%5d %7d  %-24s %9.3f %12.2f %10.1f %10.4f %12.4f%s\n", nelec,
                        model.nx * model.nz, f.name, seconds, 1000.0 * seconds / nky, peak_mb,
                        worst, worst_near, status.ok() ? "" : "  (failed)");
            std::fflush(stdout);
        }
    }
    model::exit_globals();
    return 0;
}
