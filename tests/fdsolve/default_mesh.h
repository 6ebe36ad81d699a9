// A block model on the program's default finite-difference mesh, with its output tables, for
// the driver tests and the benchmark.
#pragma once

#include "fdsolve/fdsolve.h"
#include "model/globals.h"
#include "model/mesh_nodes.h"
#include "model/utilities.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace fd_test {

using Driver = decltype(&calaresforward_dbl);

/// nelec electrodes one unit apart on the default mesh: 4 node columns per spacing, 20 margin
/// columns growing by 1.25 outward, 20 node rows of the default depths (four of 0.25, one of
/// 0.35, five growing by 1.1, the rest by 1.5), every cell of one resistivity.
struct Model {
    int nelec = 0, m = 20, p = 4, nx = 0, nz = 20, lead = 0;
    std::vector<float> dx, dz, sigma;
    std::vector<std::int32_t> water;
    std::vector<double> table_a, table_b, remote;
    float offset = 1.0f;
    int remote_electrodes = 0;
    float c2_x = 0, c2_y = 0, p2_x = 0, p2_y = 0;

    explicit Model(int electrodes, double resistivity = 1.0) : nelec(electrodes) {
        lay_out(p, default_rows(1.0f), resistivity);
        water.assign(nelec, 0);
        lead = nelec + 3; // tables wider than the electrodes, as the program's are
        table_a.assign(std::size_t(lead) * lead, -7.0);
        table_b.assign(std::size_t(lead) * lead, -7.0);
        remote.assign(2 * nelec + 1, -7.0);
    }
    /// The program's default row spacings times `factor` (factor 1: four of 0.25, one of
    /// 0.35, five growing by 1.1, the rest by 1.5), `count` of them.
    static std::vector<float> default_rows(float factor, int count = 19) {
        std::vector<float> rows(static_cast<std::size_t>(count));
        model::default_row_spacings(factor, count, rows.data());
        return rows;
    }
    /// Rows of `first` down to one unit spacing, then 0.35 (or `first` when thicker) growing
    /// five times by 1.1 and ten times by 1.5: a mesh with the given depths of its first rows.
    static std::vector<float> given_rows(float first) {
        std::vector<float> rows(std::size_t(std::lround(1.0f / first)), first);
        float thickness = std::max(first, 0.35f);
        for (int i = 0; i < 16; ++i) {
            if (i > 0) thickness *= i <= 5 ? 1.1f : 1.5f;
            rows.push_back(thickness);
        }
        return rows;
    }
    /// The mesh laid out anew: `per_spacing` node columns a unit spacing (m margin columns
    /// growing by 1.25 outward), the row spacings `rows`, every cell of one resistivity.
    void lay_out(int per_spacing, const std::vector<float>& rows, double resistivity = 1.0) {
        p = per_spacing;
        nx = 2 * m + (nelec - 1) * p - 1;
        dx.assign(nx - 1, 0.0f);
        std::vector<float> x(nx);
        model::flat_column_layout(m, dx.data(), p, nx, x.data());
        dz = rows;
        nz = int(rows.size()) + 1;
        sigma.assign(std::size_t(nx - 1) * (nz - 1), float(1.0 / resistivity));
    }
    /// Resistivity `top` for the cells above depth `boundary`, `bottom` below it.
    void layers(double top, double bottom, double boundary) {
        double depth = 0.0;
        for (int j = 1; j < nz; ++j) {
            const double rho = depth + 0.5 * dz[j - 1] < boundary ? top : bottom;
            for (int i = 1; i < nx; ++i)
                sigma[index2d(i, j, nx - 1)] = float(1.0 / rho);
            depth += dz[j - 1];
        }
    }
    /// The inputs of a run on this mesh with the global ModelSettings' wavenumber, source and
    /// array settings.
    fd::Inputs inputs(int nky = 12) {
        fd::Inputs in = fd::make_inputs(Modelsettings, Proglim, sigma.data(), table_a.data(),
                                        table_b.data(), remote.data());
        in.nx = nx;
        in.nz = nz;
        in.node_col_dx = dx.data();
        in.node_row_dz = dz.data();
        in.nelec = nelec;
        in.margin_columns = m;
        in.nodes_per_spacing = p;
        in.electrode_water = water.data();
        in.electrode_offset_ratio = offset;
        in.remote_electrodes = remote_electrodes;
        in.c2_x = c2_x;
        in.c2_y = c2_y;
        in.p2_x = p2_x;
        in.p2_y = p2_y;
        in.nky = nky;
        in.lead = lead;
        return in;
    }
    /// Runs a driver on inputs(nky).
    model::SolverResult run(Driver driver, int nky = 12) { return driver(inputs(nky)); }
    double pot(int a, int b) const { return table_a[index2d(a, b, lead)]; }
    double offset_pot(int a, int b) const { return table_b[index2d(a, b, lead)]; }
};

} // namespace fd_test
