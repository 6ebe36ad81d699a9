// Test fixtures of the forward folder.
#include "fixture.h"

#include "forward/apparent.h"
#include "forward/commands.h"
#include "forward/datafile.h"
#include "model/datum_points.h"
#include "model/services.h"
#include "model/utilities.h"
#include "support/model_records.h"

#include <algorithm>
#include <cmath>

namespace forward_test {

Records::Records(int n, int d)
    : GlobalRecords(test_support::limits_for(n, d)), m(Modelsettings), p(Potentialtables),
      limits(Proglim) {}

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
            // The solvers write the potential at the offset itself for the offset pole-dipole
            // and the in-line potential less it for every other array.
            const double off = potential(std::sqrt(r * r + offset * offset));
            const double q = m.array_type == 10 ? off : p - off;
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

std::string example(const std::string& name) {
    return std::string(VELDARIN_SOURCE_DIR) + "/examples/" + name;
}

CommandFixture::CommandFixture(int n, int d) : r(n, d) {
    model::set_work_file_paths(r.m, Modelresolution, home.path);
    Systemsettings.initial_dir[0] = '\0';
}

void CommandFixture::read(const std::string& path) {
    h.answer("file " + path);
    EXPECT_EQ(read_model_command(Progdisplay, r.m), 101);
}

int CommandFixture::calculate() {
    return start_calculations(Progdisplay, r.m, r.limits, r.p);
}

void CommandFixture::save_data_file(const std::string& path, std::string* text) {
    h.answer("file " + path + "\ndialog NoiseDiaBox click 503 ok");
    save_results_command(Progdisplay, r.m, 1);
    ASSERT_EQ(forward::last_save_outcome(), forward::SaveOutcome::written) << h.output();
    *text = test_support::read_file(path);
}

double CommandFixture::worst(double rho) const {
    double w = 0.0;
    for (int d = 0; d < r.m.ndata; ++d) {
        EXPECT_TRUE(datum_formed(r.m, d)) << d;
        w = std::max(w, std::fabs(r.m.app_resistivity[d] / rho - 1.0));
    }
    return w;
}

} // namespace forward_test
