// The synthetic finite-element run of the block-sensitivity tests.
#include "block_fixture.h"

#include "model/utilities.h"
#include "platform/ui/ui.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace block_test {

namespace {
void copy_path(char* field, std::size_t size, const std::string& path) {
    std::snprintf(field, size, "%s", path.c_str());
}
void write_floats(const std::string& path, const std::vector<float>& v, bool with_count) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (with_count) {
        const std::int32_t n = std::int32_t(v.size());
        std::fwrite(&n, 4, 1, f);
    }
    std::fwrite(v.data(), sizeof(float), v.size(), f);
    std::fclose(f);
}
} // namespace

void SyntheticRun::SetUp() {
    ui::install_backend(&backend);
    Statuswind.bar_width = 100;
    copy_path(m.fourier_values_file, sizeof m.fourier_values_file, dir.path + "fourier_values.bin");
    copy_path(m.jacob_file, sizeof m.jacob_file, dir.path + "jacob.bin");
    copy_path(m.grfinite_file, sizeof m.grfinite_file, dir.path + "grfinite_r.bin");
    copy_path(m.grfile_file, sizeof m.grfile_file, dir.path + "grfile.bin");
    copy_path(m.hessmatrix_file, sizeof m.hessmatrix_file, dir.path + "hessmatrix.bin");
    copy_path(m.hessmatrix_row_file, sizeof m.hessmatrix_row_file, dir.path + "hessmatrix_row.bin");
    copy_path(m.jacob_elec_positions_file, sizeof m.jacob_elec_positions_file,
              dir.path + "jacob_elec_positions.bin");
    copy_path(m.grfile_elec_file, sizeof m.grfile_elec_file, dir.path + "grfile_elec.bin");
    copy_path(m.dump_file, sizeof m.dump_file, dir.path + "dump_file.txt");
}

void SyntheticRun::TearDown() {
    ui::install_backend(nullptr);
}

void SyntheticRun::lay_out(int nelec, int nz) {
    m.nelec = nelec;
    m.nodes_per_spacing = 1;
    m.margin_columns = 2;
    m.nx_nodes = 2 * 2 + (nelec - 1);
    m.nz_nodes = nz;
    m.nx_cells = m.nx_nodes - 1;
    m.nz_cells = nz - 1;
    m.ngrid_rows = 10;
    m.unit_spacing = 1.0f;
    m.array_type = 4;
    m.electrode_offset_ratio = 0.3f;
    for (int c = 1; c <= m.nx_nodes; ++c)
        m.node_col_x[c - 1] = float(c - 2);
    for (int r = 1; r <= nz; ++r)
        m.depth_lines[r - 1] = 0.5f * float(r - 1);
    for (int c = 1; c <= m.nx_cells; ++c)
        for (int r = 1; r <= m.nz_cells; ++r)
            m.cell_conductivity[index2d(c, r, m.nx_cells)] = c == 3 && r == 1 ? 0.25f : 1.0f;
    m.ndata = 2;
    // The counts as the apparent values store them: 2 for the pole-dipole too.
    const int c1[2] = {1, 1}, p1[2] = {2, 2}, p2[2] = {0, 3}, count[2] = {2, 2};
    const float rho[2] = {2.0f, 1.0f};
    for (int d = 0; d < 2; ++d) {
        m.datum_c1[d] = c1[d], m.datum_c2[d] = 0, m.datum_p1[d] = p1[d], m.datum_p2[d] = p2[d];
        m.datum_nelec[d] = count[d];
        m.datum_gfactor[d] = float(M_PI);
        m.app_resistivity[d] = rho[d];
        m.c1_z[d] = 9.0f; // the run sets every depth to 0
    }
    m.npot_electrodes = nelec;
    for (int e = 1; e <= nelec; ++e)
        m.jacob_electrode[e - 1] = std::int64_t(e - 1) * m.nx_nodes * m.nz_nodes;
    m.sens_potentials_ready = 1;
    m.data_ready = 1;
}

void SyntheticRun::write_work_files(const std::vector<float>& k) {
    write_floats(dir.path + "fourier_values.bin", k, true);
    const int cells = m.nx_cells * m.nz_cells, nodes = m.nx_nodes * m.nz_nodes;
    const float unit[10] = {1, 0, 0, 0, 1, 0, 0, 1, 0, 1};
    std::vector<float> terms, potentials;
    for (std::size_t i = 0; i < k.size(); ++i) {
        for (int c = 0; c < cells; ++c)
            terms.insert(terms.end(), unit, unit + 10);
        for (int e = 1; e <= m.nelec; ++e)
            potentials.insert(potentials.end(), nodes, e == 1 ? 2.0f : float(2 * e - 1));
    }
    write_floats(dir.path + "jacob.bin", terms, false);
    write_floats(dir.path + "grfinite_r.bin", potentials, false);
}

std::vector<float> SyntheticRun::jacobian_file() const {
    const std::string bytes = test_support::read_file(m.grfile_file);
    std::vector<float> v(bytes.size() / 4);
    if (!v.empty()) std::memcpy(v.data(), bytes.data(), v.size() * 4);
    return v;
}

} // namespace block_test
