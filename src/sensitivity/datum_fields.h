// Electrode lists, factors and node fields of the data, shared by the block sensitivity and the
// electrode-position Jacobian. A datum's source field A and receiver field B hold one value per
// mesh node; the electrodes are taken in the order C1, P1, P2, C2.
#pragma once

#include <cstdint>

/// For each of n data: copies the four electrode numbers held four per datum (C1, C2, P1, P2)
/// into c1, c2, p1, p2, and sets factor[i] = -g[i] / pi; with `plain` set, -g[i]; with
/// `constant` set (it wins), -c / pi for every datum.
void collect_datum_electrodes(int n, const std::int32_t* interleaved, const float* g, bool plain,
                              bool constant, float c, std::int32_t* c1, std::int32_t* c2,
                              std::int32_t* p1, std::int32_t* p2, float* factor);

/// Electrodes of datum i from the interleaved list, in field order: first C1, second P1, third
/// P2 and fourth C2 (0 where the datum has none), and the count of electrodes it uses: 4 with
/// both P2 and C2, 3 with P2 alone, else 2; 0 (nothing formed) when datum_nelec[i] is 0, the
/// mark of a datum the apparent values could not form. The count comes from the electrodes,
/// not from datum_nelec: the apparent values store 2 there for a pole-dipole datum (C1, P1, P2),
/// which read as a count would make it a pole-pole.
struct DatumElectrodes {
    int first = 0, second = 0, count = 0, third = 0, fourth = 0;
};
DatumElectrodes pick_datum_electrodes(int i, const std::int32_t* interleaved,
                                      const std::int32_t* datum_nelec);

/// The node-potential table of `electrode` (1-based) among n_tables tables of n nodes, electrode
/// e's starting at potentials + start[e - 1]; null for an electrode or start outside them.
const float* electrode_potential_table(int electrode, const float* potentials,
                                       const std::int64_t* start, int n_tables, long long n);

/// Fields of n nodes from the node-potential tables (electrode e's table starts at
/// potentials + start[e - 1]): count 2: A = T(first), B = T(second); 3: A = T(first), B =
/// T(second) - T(third); 4: A = T(first) - T(fourth), B = T(second) - T(third). Returns false,
/// fields untouched, for a count below 2 or an electrode outside 1..n_tables.
bool form_datum_fields(const DatumElectrodes& e, const float* potentials, const std::int64_t* start,
                       int n_tables, long long n, double* a, double* b);
