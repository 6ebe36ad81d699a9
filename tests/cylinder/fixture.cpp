// Fixtures of the cylinder tests.
#include "fixture.h"

#include "model/globals.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"

#include <cmath>

namespace cyl_test {

void Records::SetUp() {
    Statuswind.bar_width = 200;
    ui::install_backend(&backend);
}

void Records::TearDown() {
    ui::install_backend(nullptr);
    sys::set_page_budget(-1);
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

double Ring::transfer(int c1, int c2, int p1, int p2) const {
    return (P(p1, c1) - P(p1, c2)) - (P(p2, c1) - P(p2, c2));
}

} // namespace cyl_test
