// Generation of the comprehensive and base array sets.
#include "optimise/arrays.h"

#include "model/globals.h"
#include "model/records.h"
#include "model/services.h"
#include "optimise/grid.h"
#include "platform/sys/sys.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace opt {

bool ArrayList::reserve(int arrays) {
    count = 0;
    capacity = arrays;
    return e.allocate(4 * std::size_t(arrays > 0 ? arrays : 1));
}

void ArrayList::push(std::int32_t c1, std::int32_t c2, std::int32_t p1, std::int32_t p2) {
    std::int32_t* a = e.get() + 4 * std::size_t(count++);
    a[0] = c1, a[1] = c2, a[2] = p1, a[3] = p2;
}

float geometric_factor_limit(int max_n) {
    const float n = float(max_n);
    return 6.283185f / (1.0f / (n + 2.0f) + 1.0f / n - 2.0f / (n + 1.0f)) + 0.000001f;
}

namespace {

// One generation pass: the electrodes it may use, their positions, and where arrays go.
class Generator {
  public:
    Generator(const ModelResolution& s, ArrayList& comprehensive, ArrayList& base)
        : comprehensive_(comprehensive), base_(base), limit_(geometric_factor_limit(s.opt_max_n)),
          max_n_(s.opt_max_n), kinds_(s.array_kinds) {}

    /// Beta then alpha arrays of electrodes 1..n, positions x(e) = e - 1.
    void inner_pass(int n);
    /// Beta then alpha arrays of the four-cable line that need the long cable.
    void long_cable_pass(const Grid& grid);

  private:
    ArrayList& comprehensive_;
    ArrayList& base_;
    float limit_;
    int max_n_, kinds_;
    std::vector<float> x_;

    // Distance between electrodes a and b (1-based).
    float gap(int a, int b) const { return std::abs(x_[a - 1] - x_[b - 1]); }
    bool beta_allowed(int e1, int e2, int e3, int e4) const {
        const float g =
            1.0f / gap(e4, e1) + 1.0f / gap(e3, e2) - 1.0f / gap(e4, e2) - 1.0f / gap(e3, e1);
        return 6.283185f / g <= limit_;
    }
    bool alpha_allowed(int e1, int e2, int e3, int e4) const {
        const float g =
            1.0f / gap(e3, e4) + 1.0f / gap(e2, e1) - 1.0f / gap(e3, e1) - 1.0f / gap(e2, e4);
        return 6.283185f / g <= limit_;
    }
    // Dipole-dipole of dipole length 1 and n = 1..5, or Wenner beta when the largest n is
    // below 4.
    bool beta_base(int e1, int e2, int e3, int e4) const {
        if (max_n_ >= 4) return e2 - e1 == 1 && e4 - e3 == 1 && e3 - e2 < 6;
        return e2 - e1 == e3 - e2 && e3 - e2 == e4 - e3;
    }
    // Wenner alpha and Wenner-Schlumberger of inner spacing 1, n below 9, when only alpha
    // arrays are wanted.
    bool alpha_base(int e1, int e2, int e3, int e4) const {
        return kinds_ == 2 && e2 - e1 == e4 - e3 && e3 - e2 == 1 && e2 - e1 < 9;
    }
    void keep(bool to_base, int c1, int c2, int p1, int p2) {
        if (comprehensive_.full()) return;
        if (to_base && !base_.full())
            base_.push(c1, c2, p1, p2);
        else
            comprehensive_.push(c1, c2, p1, p2);
    }
    template <class Usable>
    void pass(int n, int steps, const char* beta_text, const char* alpha_text, bool long_cable,
              Usable usable);
};

void progress(const char* format, int e1, int steps) {
    char text[128];
    std::snprintf(text, sizeof text, format, double(e1) * 100.0 / steps);
    update_status(text, 0);
}

template <class Usable>
void Generator::pass(int n, int steps, const char* beta_text, const char* alpha_text,
                     bool long_cable, Usable usable) {
    for (int kind = 0; kind < 2; ++kind) {
        const bool beta = kind == 0;
        if ((beta && kinds_ == 2) || (!beta && kinds_ == 1)) continue;
        for (int e1 = 1; e1 <= n - 3; ++e1) {
            progress(beta ? beta_text : alpha_text, e1, steps);
            for (int e2 = e1 + 1; e2 <= n - 2; ++e2)
                for (int e3 = e2 + 1; e3 <= n - 1; ++e3)
                    for (int e4 = e3 + 1; e4 <= n; ++e4) {
                        if (!usable(e1, e2, e3, e4)) continue;
                        if (beta && beta_allowed(e1, e2, e3, e4))
                            keep(beta_base(e1, e2, e3, e4), e2, e1, e3, e4);
                        if (!beta && alpha_allowed(e1, e2, e3, e4))
                            keep(!long_cable && alpha_base(e1, e2, e3, e4), e1, e4, e2, e3);
                    }
        }
    }
}

void Generator::inner_pass(int n) {
    x_.resize(std::size_t(n));
    for (int e = 0; e < n; ++e)
        x_[std::size_t(e)] = float(e);
    pass(n, n - 3, "Generating arrays B %.1f%%", "Generating arrays A %.1f%%", false,
         [](int, int, int, int) { return true; });
}

void Generator::long_cable_pass(const Grid& grid) {
    x_ = grid.x;
    const auto on_cable = [](int e) { return e <= 11 || e >= 51 || e % 2 == 1; };
    const auto outer = [](int e) { return e < 11 || e > 51; };
    pass(61, 58, "Generating array 2B %.1f%%", "Generating array 2A %.1f%%", true,
         [&](int e1, int e2, int e3, int e4) {
             return on_cable(e1) && on_cable(e2) && on_cable(e3) && on_cable(e4) &&
                    (outer(e1) || outer(e2) || outer(e3) || outer(e4));
         });
}

void shift(ArrayList& list, int by) {
    for (std::size_t k = 0; k < 4 * std::size_t(list.count); ++k)
        list.e[k] += by;
}

} // namespace

bool generate_arrays(const ModelResolution& settings, const Grid& grid, ArrayList& comprehensive,
                     ArrayList& base) {
    const long n = grid.nelec;
    if (!comprehensive.reserve(int(n * n * n * n / 15)) || !base.reserve(int(32 * n))) return false;
    update_status("Generating arrays.", 0);
    Generator generator(settings, comprehensive, base);
    if (grid.layout != 2) {
        generator.inner_pass(grid.nelec);
        return true;
    }
    generator.inner_pass(41);
    update_status("Shifting arrays 1", 0);
    shift(comprehensive, 10);
    update_status("Shifting arrays 2", 0);
    shift(base, 10);
    generator.long_cable_pass(grid);
    return true;
}

bool save_arrays(const char* path, const std::int32_t* arrays, int count) {
    sys::AtomicFile out(path, sys::AtomicFile::Durability::unsynced);
    return out.write(arrays, 4 * sizeof(std::int32_t) * std::size_t(count)) && out.commit();
}

bool load_arrays(const char* path, std::int32_t* arrays, int count) {
    std::FILE* in = std::fopen(path, "rb");
    if (!in) return false;
    const std::size_t want = 4 * std::size_t(count);
    const bool whole = std::fread(arrays, sizeof(std::int32_t), want, in) == want;
    std::fclose(in);
    return whole;
}

} // namespace opt
