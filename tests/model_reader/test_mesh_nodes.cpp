// Node placement: the flat column layout with its margins and tank walls, the nodes under a
// surface known at the electrodes, and the interpolations beside them.
#include "reader_fixture.h"

#include "model/mesh_nodes.h"

#include <cmath>

namespace {

struct Mesh {
    int nelec, m, k, nx, nz;
    std::vector<float> col_x, col_dx, row_dz, node_x, node_z;
    float shift = -1.0f;
    Mesh(int nelec_, int m_, int k_, int nz_)
        : nelec(nelec_), m(m_), k(k_), nx(2 * m_ + (nelec_ - 1) * k_ - 1), nz(nz_),
          col_x(std::size_t(nx)), col_dx(std::size_t(nx)), row_dz(std::size_t(nz), 0.5f),
          node_x(std::size_t(nx * nz)), node_z(std::size_t(nx * nz)) {
        model::flat_column_layout(m, col_dx.data(), k, nx, col_x.data());
    }
    void place(const std::vector<float>& x, const std::vector<float>& z, int tflag = 0) {
        Set_Topo_Grid_Nodes(&shift, nelec, nx, nz, m, k, tflag, col_x.data(), nullptr,
                            col_dx.data(), row_dz.data(), node_x.data(), node_z.data(), x.data(),
                            z.data());
    }
    float z_at(int c, int r) const { return node_z[std::size_t(c * nz + r)]; }
    int electrode_column(int j) const { return m - 1 + j * k; }
};

} // namespace

TEST(MeshNodes, FlatColumnLayout) {
    std::vector<float> dx(20), x(20);
    model::flat_column_layout(4, dx.data(), 4, 20, x.data());
    for (int i = 0; i < 19; ++i)
        EXPECT_FLOAT_EQ(dx[i], 0.25f) << i;
    model::flat_column_layout(6, dx.data(), 4, 20, x.data());
    const float left[3] = {1.5625f / 4, 1.25f / 4, 0.25f};
    for (int i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(dx[i], left[i]);
        EXPECT_FLOAT_EQ(dx[18 - i], left[i]);
    }
    EXPECT_FLOAT_EQ(x[19], x[18] + dx[18]);
}

// A wall half-way between two columns snaps the earlier one.
TEST(MeshNodes, TankWallsSnapTheNearestColumn) {
    ModelSettings& s = reader_test::shared_model();
    const int saved = s.tank_model;
    s.tank_model = 1;
    s.tank_x_left = -0.125f; // between the columns at -0.25 and 0 from the first electrode
    s.tank_x_right = 1.0f;
    std::vector<float> dx(20), x(20);
    set_fe_node_spacing(s, 4, dx.data(), 4, 20, x.data());
    s.tank_model = saved;
    EXPECT_EQ(s.tank_left_column, 2);
    EXPECT_FLOAT_EQ(x[2], x[3] - 0.125f);
    EXPECT_EQ(s.tank_right_column, 8);
    EXPECT_FLOAT_EQ(dx[2], 0.125f);
    EXPECT_FLOAT_EQ(dx[1], 0.375f);
}

TEST(MeshNodes, FlatSurface) {
    Mesh mesh(5, 6, 4, 6);
    std::vector<float> x{0, 1, 2, 3, 4}, z(5, 0.0f);
    const std::vector<float> flat_dx = mesh.col_dx;
    mesh.place(x, z);
    EXPECT_FLOAT_EQ(mesh.shift, 0.0f);
    for (int c = 0; c < mesh.nx; ++c) {
        for (int r = 0; r < mesh.nz; ++r)
            EXPECT_FLOAT_EQ(mesh.z_at(c, r), 0.5f * r);
        EXPECT_FLOAT_EQ(mesh.node_x[std::size_t(c * mesh.nz)], mesh.col_x[c]);
    }
    EXPECT_EQ(mesh.col_dx, flat_dx); // equal spacings give the flat layout back
}

// Elevations -2, 0.5, -1: the bottom goes 2 below the flat bottom; columns between electrodes
// follow the straight line between their elevations.
TEST(MeshNodes, SurfaceHeightsAndBottomShift) {
    Mesh mesh(3, 4, 2, 5);
    mesh.place({0, 1, 2}, {-2.0f, 0.5f, -1.0f});
    EXPECT_FLOAT_EQ(mesh.shift, 2.0f);
    const float bottom = 0.5f * 4 + 2.0f;
    for (int c = 0; c < mesh.nx; ++c)
        EXPECT_FLOAT_EQ(mesh.z_at(c, 4), bottom) << c;
    EXPECT_FLOAT_EQ(mesh.z_at(0, 1), 0.5f + 2.0f);                        // left margin
    EXPECT_FLOAT_EQ(mesh.z_at(mesh.electrode_column(1), 2), 1.0f - 0.5f); // electrode 1
    EXPECT_FLOAT_EQ(mesh.z_at(mesh.electrode_column(0) + 1, 0), 0.75f);   // half-way, h -0.75
    EXPECT_FLOAT_EQ(mesh.z_at(mesh.nx - 1, 3), 1.5f + 1.0f);              // right margin
}

// Each interval's spacings go into the columns between its two electrodes, so that electrode j
// stands on its column; the margins keep their layout.
TEST(MeshNodes, IntervalSpacingsInTheirOwnColumns) {
    Mesh mesh(3, 5, 2, 3);
    const std::vector<float> flat_dx = mesh.col_dx;
    mesh.place({0.0f, 1.0f, 3.0f}, {0, 0, 0});
    const int e0 = mesh.electrode_column(0);
    EXPECT_FLOAT_EQ(mesh.col_dx[e0], 0.5f);
    EXPECT_FLOAT_EQ(mesh.col_dx[e0 + 1], 0.5f);
    EXPECT_FLOAT_EQ(mesh.col_dx[e0 + 2], 1.0f);
    EXPECT_FLOAT_EQ(mesh.col_dx[e0 + 3], 1.0f);
    EXPECT_FLOAT_EQ(mesh.col_dx[e0 - 1], flat_dx[e0 - 1]);
    EXPECT_FLOAT_EQ(mesh.col_dx[e0 + 4], flat_dx[e0 + 4]);
    EXPECT_FLOAT_EQ(mesh.col_x[mesh.electrode_column(1)] - mesh.col_x[e0], 1.0f);
    EXPECT_FLOAT_EQ(mesh.col_x[mesh.electrode_column(2)] - mesh.col_x[e0], 3.0f);
}

// Distances along the surface: a slope steeper than 0.9 of the spacing is held to it.
TEST(MeshNodes, SurfaceDistancesOnASteepSlope) {
    Mesh mesh(3, 4, 4, 3);
    mesh.place({0, 1, 2}, {0.0f, 2.0f, 2.0f}, 2);
    const int e0 = mesh.electrode_column(0);
    const float h = 0.25f;
    EXPECT_FLOAT_EQ(mesh.col_dx[e0], h * std::sqrt(1.0f - 0.81f));
    // The flat second interval is not narrowed by the slope before it.
    EXPECT_FLOAT_EQ(mesh.col_dx[e0 + 4], h);
}

// A long, gentle hillside: every interval keeps its own horizontal extent, so the electrodes
// stay one surface spacing apart whatever came before them.
TEST(MeshNodes, SurfaceDistancesDoNotCompoundAlongAHillside) {
    const int nelec = 12;
    Mesh mesh(nelec, 4, 4, 3);
    std::vector<float> x;
    std::vector<float> z;
    for (int i = 0; i < nelec; ++i) {
        x.push_back(float(i));
        z.push_back(0.3f * float(i));
    }
    mesh.place(x, z, 2);
    const float step = std::sqrt(1.0f - 0.3f * 0.3f);
    for (int i = 1; i < nelec; ++i)
        EXPECT_NEAR(mesh.col_x[mesh.electrode_column(i)] - mesh.col_x[mesh.electrode_column(i - 1)],
                    step, 1e-5f)
            << "interval " << i;
}

TEST(MeshNodes, InterpTableRow) {
    const float xs[3] = {0.0f, 1.0f, 2.0f};
    const float table[6] = {0, 0, 0, 10.0f, 20.0f, 40.0f};
    EXPECT_FLOAT_EQ(interp_table_row(2, xs, 1, 0.5f, table), 20.0f); // sample of x <= xs[1]
    EXPECT_FLOAT_EQ(interp_table_row(2, xs, 1, -0.5f, table), 5.0f); // line through 0 and 1
    EXPECT_FLOAT_EQ(interp_table_row(2, xs, 1, 5.0f, table), 40.0f);
    EXPECT_FLOAT_EQ(interp_table_row(-1, xs, 0, 0.0f, table), 0.0f);
}

// Elevation points that are not at the electrodes are interpolated at them.
TEST(MeshNodes, SurfaceAtTheElectrodesFromTheElevationPoints) {
    ModelSettings& s = reader_test::shared_model();
    const int nelec = s.nelec, tflag = s.tflag, ntopo = s.ntopo;
    const float first = s.first_electrode_x, spacing = s.unit_spacing;
    s.nelec = 11;
    s.tflag = 1;
    s.ntopo = 3;
    s.first_electrode_x = 0.0f;
    s.unit_spacing = 1.0f;
    const float px[3] = {10.0f, 0.0f, 5.0f}, pz[3] = {0.0f, 0.0f, 5.0f};
    std::copy(px, px + 3, s.elec_x);
    std::copy(pz, pz + 3, s.elec_z);
    std::vector<float> x, z;
    model::electrode_surface(s, x, z);
    ASSERT_EQ(z.size(), 11u);
    for (int i = 0; i <= 10; ++i) {
        EXPECT_FLOAT_EQ(x[i], float(i));
        EXPECT_FLOAT_EQ(z[i], float(i <= 5 ? i : 10 - i)) << i;
    }
    s.first_electrode_x = 12.0f; // electrodes beyond the last point keep its elevation
    model::electrode_surface(s, x, z);
    EXPECT_FLOAT_EQ(z[0], 0.0f);
    s.ntopo = 0;
    model::electrode_surface(s, x, z);
    EXPECT_FLOAT_EQ(z[5], 0.0f);
    s.nelec = nelec, s.tflag = tflag, s.ntopo = ntopo, s.first_electrode_x = first;
    s.unit_spacing = spacing;
}
