// Test fixtures of the display folder: the global records with the headless backend and the
// palette tools built, and a pixel helper.
#pragma once

#include "display/colours.h"
#include "model/globals.h"
#include "model/utilities.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/sys.h"
#include "platform/ui/ui.h"
#include "support/files.h"
#include "support/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace display_test {

/// The records of one test over the headless backend with a screen of width x height (the
/// client area is 60 rows lower), and the palette brushes and pens made.
struct Session : test_support::Headless {
    test_support::GlobalRecords records;
    explicit Session(int width = 1024, int height = 768) {
        backend.set_screen(width, height);
        rebuild_display_objects();
    }
};

/// The pixels whose centre lies inside or on the triangle (x[k], y[k]).
inline std::vector<gfx::Point> pixels_inside(const int x[3], const int y[3]) {
    std::vector<gfx::Point> inside;
    const int lo_x = std::min({x[0], x[1], x[2]}), hi_x = std::max({x[0], x[1], x[2]});
    const int lo_y = std::min({y[0], y[1], y[2]}), hi_y = std::max({y[0], y[1], y[2]});
    const long long turn =
        (long long)(x[1] - x[0]) * (y[2] - y[0]) - (long long)(y[1] - y[0]) * (x[2] - x[0]);
    for (int Y = lo_y; Y <= hi_y; ++Y)
        for (int X = lo_x; X <= hi_x; ++X) {
            bool in = true;
            for (int k = 0; k < 3 && in; ++k) {
                const int j = (k + 1) % 3;
                const long long s =
                    (long long)(x[j] - x[k]) * (Y - y[k]) - (long long)(y[j] - y[k]) * (X - x[k]);
                in = turn > 0 ? s >= 0 : s <= 0;
            }
            if (in) inside.push_back({X, Y});
        }
    return inside;
}

} // namespace display_test
