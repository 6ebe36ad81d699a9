// Test fixtures of the forward folder.
#include "fixture.h"

#include "model/datum_points.h"
#include "model/utilities.h"
#include "platform/ui/ui.h"

#include <cmath>
#include <cstdlib>
#include <fstream>

namespace forward_test {

ProgLim limits_for(int n, int d) {
    ProgLim l;
    l.max_electrodes = n;
    l.max_n = 70;
    l.max_data_points = d;
    l.max_levels = 160;
    l.max_resistivity_values = 33;
    l.max_node_rows = 170;
    l.max_node_columns = 4 * n + 23 > 227 ? 4 * n + 23 : 227;
    l.max_topo_points = n;
    l.max_spacing_ratio = 160;
    l.max_electrodes_b = l.max_electrodes_c = l.max_electrodes_d = n;
    l.max_node_columns_b = l.max_node_columns;
    l.max_borehole_electrodes = 32;
    l.max_boreholes = 30;
    l.max_frequencies = 12;
    return l;
}

Records::Records(int n, int d) : m(Modelsettings), p(Potentialtables), limits(Proglim) {
    EXPECT_EQ(init_globals(), 0);
    Proglim = limits_for(n, d);
    EXPECT_EQ(model::allocate_model_arrays(Modelsettings, Potentialtables, Proglim), 0);
}

Records::~Records() {
    model::exit_globals();
}

PairPotential half_space(double rho) {
    return [rho](double r) { return rho / (2.0 * M_PI * r); };
}

void fill_tables(ModelSettings& m, const ProgLim& limits, const PairPotential& potential,
                 double offset, double chargeability) {
    const int n = limits.max_electrodes;
    for (int i = 1; i <= m.nelec; ++i)
        for (int j = 1; j <= m.nelec; ++j) {
            if (i == j) continue;
            const double r = std::abs(i - j);
            const double p = potential(r);
            const double q = p - potential(std::sqrt(r * r + offset * offset));
            const int k = index2d(i, j, n);
            m.potential_table_a[k] = p;
            m.potential_table_b[k] = q;
            m.potential_table_a_ip[k] = p / (1.0 - chargeability);
            m.potential_table_b_ip[k] = q / (1.0 - chargeability);
        }
}

void set_line(ModelSettings& m, const ProgLim& limits, int nelec, int code, float a) {
    m.nelec = nelec;
    m.unit_spacing = a;
    m.array_type = code;
    m.nlev = nelec / 3;
    m.n_a_spacings = nelec / 3;
    m.n_n_values = std::min(nelec / 2, 8);
    m.ndata = calc_datum_points(m, limits);
}

Headless::Headless() {
    ui::reset();
    ui::install_backend(&backend);
}

Headless::~Headless() {
    ui::install_backend(nullptr);
    ui::reset();
}

void Headless::answer(const std::string& script) {
    std::vector<headless::ParseError> errors;
    for (const headless::Action& a : headless::parse_script(script, errors))
        backend.push_answer(a);
    EXPECT_TRUE(errors.empty()) << script;
}

TempDir::TempDir() {
    char name[] = "/tmp/vd_forward_XXXXXX";
    path = std::string(mkdtemp(name)) + "/";
}

TempDir::~TempDir() {
    std::system(("rm -rf '" + path + "'").c_str());
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace forward_test
