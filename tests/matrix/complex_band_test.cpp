// The principal root of complex pivots.
#include "matrix/complex_root.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(PrincipalRoot, RootsOfPivotsInEveryQuadrant) {
    const double s2 = std::sqrt(2.0);
    const double cases[][4] = {
        {4, 0, 2, 0}, {0, 4, s2, s2}, {3, 4, 2, 1}, {-4, 0, 0, 2}, {-3, 4, 1, 2}, {-3, -4, 1, -2},
    };
    for (const auto& t : cases) {
        double re, im;
        mx::principal_root(t[0], t[1], re, im);
        EXPECT_NEAR(re, t[2], 1e-15) << t[0] << " " << t[1];
        EXPECT_NEAR(im, t[3], 1e-15) << t[0] << " " << t[1];
        float fr, fi;
        mx::principal_root(float(t[0]), float(t[1]), fr, fi);
        EXPECT_NEAR(fr, t[2], 1e-6);
        EXPECT_NEAR(fi, t[3], 1e-6);
    }
}

} // namespace
