// The finite-element solvers against analytic potentials, against each other and against the
// finite-difference drivers; boreholes, topography, remote electrodes, work files and failures.
#include "fe_fixture.h"

#include "fdsolve/fdsolve.h"
#include "fesolve/fesolve.h"
#include "model/utilities.h"
#include "platform/sys/sys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>

namespace fe_test {
namespace {

class Solvers : public Records {};

using Expected = std::function<double(int, int)>;

// Worst |pot / expected - 1| over the pairs (a, b), a < b, with d0 <= b - a <= d1 among
// electrodes first..last.
double worst(const BlockModel& model, int first, int last, int d0, int d1, const Expected& f) {
    double w = 0.0;
    for (int a = first; a <= last; ++a)
        for (int b = a + d0; b <= std::min(last, a + d1); ++b)
            w = std::max(w, std::fabs(model.pot(a, b) / f(a, b) - 1.0));
    return w;
}

TEST_F(Solvers, HalfSpaceMeasure) {
    const double rho = 10.0;
    for (int which = 0; which < 3; ++which) {
        BlockModel model(25, rho);
        const int code = which == 0 ? model.run_band() : which == 1 ? model.run_sparse() : model.run_q4();
        ASSERT_EQ(code, 0);
        Expected exact = [&](int a, int b) { return rho / (2 * pi * std::abs(b - a)); };
        for (int d = 1; d <= 24; ++d)
            std::printf("solver %d d %2d err %.4f\n", which, d, worst(model, 1, 25, d, d, exact));
    }
}

} // namespace
} // namespace fe_test
