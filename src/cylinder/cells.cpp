// Per-cell values of a cylinder model from its value codes.
#include "cylinder/cylinder.h"

#include "ipsolve/colecole.h"
#include "model/utilities.h"

#include <algorithm>

namespace {

// The 1-based entry of a value list of `count` values that a 0-based code names: codes beyond
// the list take its last value (and codes below it its first).
int list_entry(std::int32_t code, int count) {
    return std::clamp(int(code) + 1, 1, std::max(count, 1));
}

} // namespace

void set_cylinder_block_conductivity(int nip, const float* chargeabilities,
                                     const std::int32_t* ip_codes, float* ip_conductivity, int le,
                                     int ne, const std::int32_t* res_codes, float* conductivity,
                                     const float* resistivities, int nresis) {
    for (int j = 1; j <= ne; ++j)
        for (int i = 1; i <= le; ++i) {
            const int c = index2d(i, j, le);
            const float sigma = 1.0f / resistivities[list_entry(res_codes[c], nresis) - 1];
            conductivity[c] = sigma;
            if (nip > 0)
                ip_conductivity[c] =
                    sigma * (1.0f - chargeabilities[list_entry(ip_codes[c], nip) - 1]);
        }
}

void set_cylinder_cell_parameters(int ntau, const float* taus, const std::int32_t* tau_codes,
                                  float* cell_tau, int le, int ne, const std::int32_t* cexp_codes,
                                  float* cell_cexp, const float* cexps, int ncip) {
    for (int c = 0; c < le * ne; ++c) {
        cell_tau[c] = taus[list_entry(tau_codes[c], ntau) - 1];
        cell_cexp[c] = cexps[list_entry(cexp_codes[c], ncip) - 1];
    }
}

void set_cylinder_complex_conductivity(int le, int ne, const std::int32_t* res_codes,
                                       const float* resistivities, int nresis,
                                       const std::int32_t* ip_codes, const float* chargeabilities,
                                       int nip, const float* cell_tau, const float* cell_cexp,
                                       float f, float* sigma_re, float* sigma_im) {
    for (int c = 0; c < le * ne; ++c) {
        const float rho = resistivities[list_entry(res_codes[c], nresis) - 1];
        const float m = chargeabilities[list_entry(ip_codes[c], nip) - 1];
        float im = 0.0f, amplitude = 0.0f, phase = 0.0f;
        cole_cole_complex_resistivity(rho, m, cell_tau[c], cell_cexp[c], f, &im, &amplitude, &phase,
                                      &sigma_re[c], &sigma_im[c]);
    }
}
