// Fixtures of the cylinder tests.
#include "fixture.h"

#include "matrix/envelope.h"
#include "model/globals.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace cyl_test {

void Records::SetUp() {
    Statuswind.bar_width = 200;
    ui::install_backend(&backend);
}

void Records::TearDown() {
    ui::install_backend(nullptr);
    sys::set_page_budget(-1);
    sys::set_free_memory_override(-1);
}

std::vector<float> test_radii(int nr) {
    // Rings 1.25 times thicker at every step inward, the innermost radius 0.15.
    std::vector<float> r;
    const double span = std::pow(1.25, nr - 1) - 1.0;
    for (int i = 0; i < nr; ++i)
        r.push_back(float(1.0 - 0.85 * (std::pow(1.25, i) - 1.0) / span));
    return r;
}

Ring::Ring(int electrodes, int per_spacing, std::vector<float> radii_, double rho)
    : nelec(electrodes), k(per_spacing), radii(std::move(radii_)) {
    EXPECT_EQ(cyl::build_polar_mesh(nelec * k, int(radii.size()), k, radii.data(), mesh),
              cyl::mesh_ok);
    sigma.assign(mesh.elements(), float(1.0 / rho));
    sigma_im.assign(mesh.elements(), 0.0f);
    table.assign(std::size_t(nelec) * nelec, 0.0);
    table_im = table;
    nodes.assign(nelec, 0);
}

cyl::SolverInputs Ring::inputs(float radius) {
    cyl::SolverInputs in;
    in.radius = radius;
    in.nodes_per_spacing = k;
    in.nelec = nelec;
    in.sectors = mesh.sectors;
    in.radii = mesh.radii;
    in.node_x = mesh.node_x.get();
    in.node_y = mesh.node_y.get();
    in.conductivity = sigma.data();
    in.conductivity_im = sigma_im.data();
    in.table = table.data();
    in.table_im = table_im.data();
    in.lead = nelec;
    in.electrode_nodes = nodes.data();
    return in;
}

model::SolverResult Ring::solve(float radius) {
    return cyl::solve_transfer_potentials(inputs(radius));
}

double Ring::transfer(int c1, int c2, int p1, int p2, bool imaginary) const {
    const std::vector<double>& t = imaginary ? table_im : table;
    auto Q = [&](int i, int j) { return t[std::size_t(i - 1) + std::size_t(nelec) * (j - 1)]; };
    return (Q(p1, c1) - Q(p1, c2)) - (Q(p2, c1) - Q(p2, c2));
}

RingData::RingData(int electrodes, int code, int levels, double m)
    : N(electrodes), dc(std::size_t(N) * N), ip(dc.size()), level_values(160 * N, -7.0f),
      level_ip(160 * N, -7.0f), values(4000, -7.0f), ip_values(4000, -7.0f), n(4000), c1(4000),
      c2(4000), p1(4000), p2(4000), sre(12 * 4000, -7.0f), sim(12 * 4000, -7.0f), tau(4000, -7.0f),
      cexp(4000, -7.0f), counts(161, -7), spacing(4000), first(4000) {
    const double pi = 3.14159265358979;
    for (int i = 1; i <= N; ++i)
        for (int j = 1; j <= N; ++j) {
            const int steps = std::min(std::abs(i - j), N - std::abs(i - j));
            const double p = i == j ? 9.0 : 1.0 / (2.0 * std::sin(pi * steps / N));
            dc[std::size_t(i - 1) + std::size_t(N) * (j - 1)] = p;
            ip[std::size_t(i - 1) + std::size_t(N) * (j - 1)] = p / (1.0 - m);
        }
    in.ip = 1;
    in.dc = dc.data();
    in.ip_table = ip.data();
    in.lead = N;
    in.levels = levels;
    in.nelec = N;
    in.array_type = code;
    in.max_data = 4000;
    in.level_stride = 160;
    in.max_level_rows = 161;
    in.max_positions = N;
    out.level_values = level_values.data();
    out.level_ip = level_ip.data();
    out.level_counts = counts.data();
    out.values = values.data();
    out.ip_values = ip_values.data();
    out.n_factor = n.data();
    out.spacing = spacing.data();
    out.first = first.data();
    out.c1 = c1.data();
    out.c2 = c2.data();
    out.p1 = p1.data();
    out.p2 = p2.data();
    out.spectrum_re = sre.data();
    out.spectrum_im = sim.data();
    out.tau = tau.data();
    out.cexp = cexp.data();
}

PolarEnvelope::PolarEnvelope(const cyl::PolarMesh& mesh)
    : perm(mesh.nodes()), xenv(mesh.nodes() + 1) {
    const int N = mesh.nodes();
    sys::PageArray<int> xadj, adjncy;
    EXPECT_TRUE(cyl::polar_mesh_adjacency(mesh.sectors, mesh.radii, xadj, adjncy));
    for (int i = 0; i < N; ++i)
        perm[i] = i + 1;
    int bandwidth = 0;
    size = find_envelope(N, xadj.get(), adjncy.get(), perm.data(), perm.data(), xenv.data(),
                         &bandwidth);
}

} // namespace cyl_test
