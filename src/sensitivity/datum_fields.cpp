// Electrode lists and node fields of the data.
#include "sensitivity/datum_fields.h"

namespace {
constexpr double one_over_pi = 0.3183101550488765;
}

void collect_datum_electrodes(int n, const std::int32_t* interleaved, const float* g, bool plain,
                              bool constant, float c, std::int32_t* c1, std::int32_t* c2,
                              std::int32_t* p1, std::int32_t* p2, float* factor) {
    for (int i = 0; i < n; ++i) {
        c1[i] = interleaved[4 * i], c2[i] = interleaved[4 * i + 1];
        p1[i] = interleaved[4 * i + 2], p2[i] = interleaved[4 * i + 3];
        if (constant)
            factor[i] = float(-double(c) * one_over_pi);
        else if (plain)
            factor[i] = -g[i];
        else
            factor[i] = float(-double(g[i]) * one_over_pi);
    }
}

DatumElectrodes pick_datum_electrodes(int i, const std::int32_t* interleaved,
                                      const std::int32_t* datum_nelec) {
    DatumElectrodes e;
    if (datum_nelec[i] == 0) return e;
    e.first = interleaved[4 * i];
    e.second = interleaved[4 * i + 2];
    e.third = interleaved[4 * i + 3];
    e.fourth = e.third != 0 ? interleaved[4 * i + 1] : 0;
    e.count = e.fourth != 0 ? 4 : e.third != 0 ? 3 : 2;
    return e;
}

const float* electrode_potential_table(int electrode, const float* potentials,
                                       const std::int64_t* start, int n_tables, long long n) {
    if (electrode < 1 || electrode > n_tables) return nullptr;
    const std::int64_t first = start[electrode - 1];
    if (first < 0 || first > std::int64_t(n_tables - 1) * n) return nullptr;
    return potentials + first;
}

bool form_datum_fields(const DatumElectrodes& e, const float* potentials, const std::int64_t* start,
                       int n_tables, long long n, double* a, double* b) {
    auto table = [&](int electrode) {
        return electrode_potential_table(electrode, potentials, start, n_tables, n);
    };
    const float *t1 = table(e.first), *t2 = table(e.second);
    const float* t3 = e.count > 2 ? table(e.third) : nullptr;
    const float* t4 = e.count == 4 ? table(e.fourth) : nullptr;
    if (e.count < 2 || e.count > 4 || !t1 || !t2 || (e.count > 2 && !t3) || (e.count == 4 && !t4))
        return false;
    for (long long i = 0; i < n; ++i) {
        a[i] = t4 ? double(t1[i]) - t4[i] : double(t1[i]);
        b[i] = t3 ? double(t2[i]) - t3[i] : double(t2[i]);
    }
    return true;
}
