// The cylinder solvers in phases: check and allocate (electrode nodes, adjacency, envelope,
// element matrices), then wavenumber by wavenumber assemble, factor and solve, then the
// transform of every pair. One Run object owns the work arrays of a call.
#include "cylinder/cylinder.h"

#include "cylinder/element.h"
#include "cylinder/envelope.h"
#include "cylinder/mesh.h"
#include "cylinder/spline.h"
#include "fdsolve/spline.h"
#include "matrix/chunkfile.h"
#include "model/globals.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/verify.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

namespace cyl {

void cylinder_wavenumbers(int nelec, float* k) {
    const float first = float(nelec) * 0.03f * 0.0625f;
    const float last = float(nelec) * 16.5f * 0.0625f;
    const float l1 = std::log(first), step = (std::log(last) - l1) / float(wavenumber_count - 1);
    k[0] = first;
    for (int w = 2; w < wavenumber_count; ++w)
        k[w - 1] = std::exp(l1 + float(w - 1) * step);
    k[wavenumber_count - 1] = last;
}

SolverInputs solver_inputs(ModelSettings& s, const PolarMesh& mesh, const float* conductivity,
                           double* table, int lead) {
    SolverInputs in;
    in.radius = s.cylinder_radius;
    in.nodes_per_spacing = s.nodes_per_spacing;
    in.nelec = s.nelec;
    in.sectors = mesh.sectors;
    in.radii = mesh.radii;
    in.node_x = mesh.node_x.get();
    in.node_y = mesh.node_y.get();
    in.conductivity = conductivity;
    in.table = table;
    in.lead = lead;
    in.electrode_nodes = s.cyl_electrode_nodes;
    return in;
}

void datum_electrodes(int array_type, int nelec, int x, int a, float n, bool unit_factor,
                      std::int32_t* e, double* factor) {
    const double A = a, an = std::fabs(n);
    auto at = [a](double t) { return round_to_int(float(a * t)); };
    int c1 = x + a, c2 = x, p1 = x + at(n + 1.0), p2 = x + at(n + 2.0);
    double f = -A * n * (n + 1.0) * (n + 2.0);
    switch (array_type) {
    case 1:
        c1 = x, c2 = x + 3 * a, p1 = x + a, p2 = x + 2 * a, f = -2.0 * A;
        break;
    case 2:
        c1 = x + a, c2 = x, p1 = x + 2 * a, p2 = x + 3 * a, f = -6.0 * A;
        break;
    case 3:
        c1 = x, c2 = x + 2 * a, p1 = x + a, p2 = x + 3 * a, f = -3.0 * A;
        break;
    case 4:
    case 8:
        c1 = x, c2 = 0, p1 = x + a, p2 = 0, f = -2.0 * A;
        if (array_type == 8) {
            const double root = std::sqrt(A * A + 1.0);
            f = -2.0 * A * root / (root - A);
        }
        break;
    case 6:
        if (n >= 0.0f)
            c1 = x, c2 = 0, p1 = x + at(n), p2 = x + at(n + 1.0), f = -2.0 * A * n * (n + 1.0);
        else
            c1 = x + a + at(an), c2 = 0, p1 = x + a, p2 = x, f = -2.0 * A * an * (an + 1.0);
        break;
    case 7:
        c1 = x, c2 = x + at(2.0 * n + 1.0), p1 = x + at(n), p2 = x + at(n + 1.0);
        f = -A * n * (n + 1.0);
        break;
    default:
        break;
    }
    const int numbers[4] = {c1, c2, p1, p2};
    for (int i = 0; i < 4; ++i)
        e[i] = numbers[i] > nelec ? (numbers[i] - 1) % nelec + 1 : numbers[i];
    *factor = unit_factor ? -0.3183099 : f;
}

namespace {

constexpr int nk = wavenumber_count;
const char* const work_names[3] = {"jtemp1.bin", "jtemp2.bin", "jtemp3.bin"};
enum { element_file, node_file, solution_file };

// The conductivity of cell c as the field of the solve.
float cell_value(const SolverInputs& in, int c, float*) {
    return in.conductivity[c];
}
double cell_value(const SolverInputs& in, int c, double*) {
    return in.conductivity_dbl[c];
}
std::complex<float> cell_value(const SolverInputs& in, int c, std::complex<float>*) {
    return {in.conductivity[c], in.conductivity_im[c]};
}

model::SolverResult fail(model::SolverStatus status, const char* text) {
    model::report_error(model::Shown::box, "Error Message", "%s", text);
    return model::SolverResult::failure(status);
}

model::SolverResult file_failure(const char* format, const std::string& path) {
    model::report_error(model::Shown::box, "Error Message", format, path.c_str());
    return model::SolverResult::failure(model::SolverStatus::file);
}

// Number of leading values of the imaginary parts worth integrating: positive, and above 1e-10
// of the third value.
int count_imaginary(const float* v) {
    int m = 0;
    while (m < nk && v[m] > 0.0f && std::fabs(v[m] / v[2]) > 1e-10f)
        ++m;
    return m;
}

// Position of (p, q), p <= q, in the upper triangle of an 8 x 8 matrix kept row by row.
int upper_index(int p, int q) {
    return 8 * p - p * (p - 1) / 2 + (q - p);
}

// T the field of the solve; Real the precision of its coordinates, wavenumbers and terms.
template <class T> class Run {
  public:
    explicit Run(const SolverInputs& in) : in_(in) {}
    ~Run();
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;
    model::SolverResult execute();

  private:
    static constexpr bool complex_field = std::is_same<T, std::complex<float>>::value;
    static constexpr bool double_field = std::is_same<T, double>::value;
    using Real = typename std::conditional<double_field, double, float>::type;
    const SolverInputs& in_;
    int n_ = 0, R_ = 0, N_ = 0, pairs_ = 0, elements_ = 0;
    Real k_[nk];
    const Real *x_ = nullptr, *y_ = nullptr; // node coordinates
    sys::PageArray<int> perm_, xenv_;
    sys::PageArray<T> env_, diag_, rhs_;
    sys::PageArray<T> pair_values_;   // wavenumber w, pair p at w pairs + p
    sys::PageArray<Real> quad_terms_; // S then M, upper triangles, 72 values per quadrilateral

    // Mode 1: the work files, their contents read back, and the element terms of every
    // wavenumber, datum, pair of the datum and cell.
    bool staged_ = false;
    std::string paths_[3];
    std::FILE* files_[3] = {nullptr, nullptr, nullptr};
    sys::PageArray<Real> records_, solutions_;
    sys::PageArray<std::int32_t> record_nodes_;
    sys::PageArray<double> terms_;
    std::FILE* listing_ = nullptr;
    std::string listing_path_;

    int node(int e) const { return in_.electrode_nodes[e - 1]; }
    model::SolverResult check() const;
    model::SolverResult allocate();
    model::SolverResult allocate_staging();
    void quad_matrices(const int (&l)[8], Real* S, Real* M) const;
    void keep_quad_matrices();
    model::SolverResult open_work_file(int f);
    model::SolverResult close_work_file(int f);
    model::SolverResult write_record(const Real* terms, const std::int32_t* nodes);
    model::SolverResult assemble(Real kk);
    model::SolverResult solve_sources(int w);
    model::SolverResult read_back_and_sum(int w);
    Real integrate(Real* v, bool imaginary) const;
    double integral_of(const double* v, int m) const;
    void pair_weights(int p, double* weights) const;
    void sensitivities() const;
    void transform() const;
    void progress(int w) const;
    model::SolverResult start_listing();
    model::SolverResult finish_listing();
};

template <class T> Run<T>::~Run() {
    for (std::FILE*& f : files_)
        if (f) std::fclose(f);
    if (listing_) std::fclose(listing_);
    if (staged_)
        for (const std::string& path : paths_)
            std::remove(path.c_str());
}

template <class T> model::SolverResult Run<T>::check() const {
    const SolverInputs& in = in_;
    const bool tables = double_field ? in.node_x_dbl && in.node_y_dbl && in.conductivity_dbl
                                     : in.node_x && in.node_y && in.conductivity &&
                                           (!complex_field || (in.conductivity_im && in.table_im));
    const bool fits =
        in.nelec >= 2 && in.nodes_per_spacing >= 1 && in.radii >= 2 &&
        in.sectors == in.nelec * in.nodes_per_spacing && in.lead >= in.nelec && tables &&
        in.table && in.electrode_nodes &&
        (!staged_ ||
         (in.survey && in.sensitivities && in.survey->ndata >= 0 &&
          (in.survey->ndata == 0 || (in.survey->first && in.survey->spacing && in.survey->n))));
    if (fits) return {};
    char text[200];
    std::snprintf(text, sizeof text,
                  "The cylinder mesh does not fit the electrodes!\n%d electrodes need %d sectors "
                  "and at least 2 radii.",
                  in.nelec, in.nelec * in.nodes_per_spacing);
    return fail(model::SolverStatus::bad_input, text);
}

// Electrode nodes, the adjacency and the envelope of the mesh, the storage of the matrix, the
// solve vector, the pair table and the kept element matrices.
template <class T> model::SolverResult Run<T>::allocate() {
    n_ = in_.sectors;
    R_ = in_.radii - 1;
    N_ = polar_node_count(n_, in_.radii);
    pairs_ = in_.nelec * (in_.nelec - 1) / 2;
    elements_ = n_ * in_.radii;
    const char* no_memory = "Insufficient memory!.";
    for (int e = 1; e <= in_.nelec; ++e)
        in_.electrode_nodes[e - 1] = 2 * R_ + 2 + (e - 1) * in_.nodes_per_spacing * (3 * R_ + 2);
    if (staged_) {
        if (model::SolverResult r = allocate_staging(); !r.ok()) return r;
    }
    sys::PageArray<int> xadj, adjncy;
    if (!polar_mesh_adjacency(n_, in_.radii, xadj, adjncy) || !perm_.allocate(N_) ||
        !xenv_.allocate(std::size_t(N_) + 1))
        return fail(model::SolverStatus::no_memory, no_memory);
    // The natural order of the mesh: sector after sector, the centre last.
    for (int i = 0; i < N_; ++i)
        perm_[i] = i + 1;
    int bandwidth = 0;
    const int size = find_envelope(N_, xadj.get(), adjncy.get(), perm_.get(), perm_.get(),
                                   xenv_.get(), &bandwidth);
    xadj.release();
    adjncy.release();
    const std::size_t quads = std::size_t(n_) * R_;
    if (!env_.allocate(std::size_t(size) + 1) || !diag_.allocate(N_) || !rhs_.allocate(N_) ||
        !pair_values_.allocate(std::size_t(pairs_) * nk) ||
        (in_.element_matrices_once && !quad_terms_.allocate(72 * quads)))
        return fail(model::SolverStatus::no_memory, no_memory);
    if (in_.element_matrices_once) keep_quad_matrices();
    return {};
}

// The datum electrodes and factors, the buffers of the work files and the term table.
template <class T> model::SolverResult Run<T>::allocate_staging() {
    const DatumSurvey& survey = *in_.survey;
    Sensitivities& out = *in_.sensitivities;
    const int ndata = survey.ndata;
    out.ndata = ndata;
    out.cells = elements_;
    out.electrodes.assign(4 * std::size_t(ndata), 0);
    out.factor.assign(ndata, 0.0);
    out.values.assign(std::size_t(ndata) * elements_, 0.0);
    for (int d = 0; d < ndata; ++d)
        datum_electrodes(survey.array_type, in_.nelec, survey.first[d], survey.spacing[d],
                         survey.n[d], survey.unit_factor, &out.electrodes[4 * std::size_t(d)],
                         &out.factor[d]);
    for (int f = 0; f < 3; ++f)
        paths_[f] = std::string(in_.folder ? in_.folder : "") + work_names[f];
    if (!records_.allocate(36 * std::size_t(elements_)) ||
        !record_nodes_.allocate(8 * std::size_t(elements_)) ||
        !solutions_.allocate(std::size_t(in_.nelec) * N_) ||
        !terms_.allocate(std::size_t(nk) * ndata * 4 * elements_))
        return fail(model::SolverStatus::no_memory, "Insufficient memory!.");
    return {};
}

// S and M of the quadrilateral of nodes l (quad_nodes), full 8 x 8. The r sin of each node goes
// first, so that det J is positive on a mesh whose radii decrease inwards.
template <class T> void Run<T>::quad_matrices(const int (&l)[8], Real* S, Real* M) const {
    Real x[8], y[8];
    for (int q = 0; q < 8; ++q) {
        x[q] = y_[l[q] - 1];
        y[q] = x_[l[q] - 1];
    }
    std::fill(S, S + 64, Real(0));
    std::fill(M, M + 64, Real(0));
    if constexpr (double_field)
        quad8_element_matrices_dbl(x, y, S, M);
    else
        quad8_element_matrices(x, y, S, M);
}

template <class T> void Run<T>::keep_quad_matrices() {
    Real S[64], M[64];
    for (int j = 1; j <= R_; ++j)
        for (int s = 1; s <= n_; ++s) {
            int l[8];
            quad_nodes(n_, R_, s, j, l);
            quad_matrices(l, S, M);
            Real* out = quad_terms_.get() + 72 * (std::size_t(j - 1) * n_ + (s - 1));
            for (int p = 0; p < 8; ++p)
                for (int q = p; q < 8; ++q) {
                    out[0] = S[8 * p + q];
                    out[36] = M[8 * p + q];
                    ++out;
                }
        }
}

template <class T> model::SolverResult Run<T>::open_work_file(int f) {
    files_[f] = std::fopen(paths_[f].c_str(), "wb");
    if (!files_[f])
        return file_failure("There has been an error in creating\nthe file %s.", paths_[f]);
    return {};
}

template <class T> model::SolverResult Run<T>::close_work_file(int f) {
    const bool closed = std::fclose(files_[f]) == 0;
    files_[f] = nullptr;
    if (!closed) return file_failure("Error in writing file\n%s", paths_[f]);
    return {};
}

// One element's 36 upper-triangle terms and its eight nodes.
template <class T>
model::SolverResult Run<T>::write_record(const Real* terms, const std::int32_t* nodes) {
    if (std::fwrite(terms, sizeof(Real), 36, files_[element_file]) != 36)
        return file_failure("Error in writing file\n%s", paths_[element_file]);
    if (std::fwrite(nodes, sizeof(std::int32_t), 8, files_[node_file]) != 8)
        return file_failure("Error in writing file\n%s", paths_[node_file]);
    return {};
}

// The matrix of wavenumber k (kk = k^2): quadrilaterals and centre triangles, sector by sector
// and ring by ring inside. A matrix failure after its message when an entry falls outside the
// envelope. Mode 1 writes each element's unit-conductivity terms and nodes as it goes; a
// centre element's record holds its four nodes (centre, start, middle, close) twice, their
// 4 x 4 matrix in the leading rows and columns.
template <class T> model::SolverResult Run<T>::assemble(Real kk) {
    std::fill(env_.get(), env_.get() + env_.size(), T(0));
    std::fill(diag_.get(), diag_.get() + diag_.size(), T(0));
    const int* perm = perm_.get();
    const int* xenv = xenv_.get();
    int position = 0;
    Real S[64], M[64], record[36];
    std::int32_t nodes[8];
    const char* quad_error = double_field ? "Error in envijd quad" : "Error in envij quad";
    const char* tri_error = double_field ? "Error in envijd tri" : "Error in envij tri";
    for (int s = 1; s <= n_; ++s)
        for (int j = 1; j <= in_.radii; ++j) {
            const T sigma = cell_value(in_, (s - 1) + n_ * (j - 1), static_cast<T*>(nullptr));
            int l[8];
            quad_nodes(n_, R_, s, j < in_.radii ? j : R_, l);
            int outside = 0;
            if (j < in_.radii) {
                const Real* kept = nullptr;
                if (in_.element_matrices_once)
                    kept = quad_terms_.get() + 72 * (std::size_t(j - 1) * n_ + (s - 1));
                else
                    quad_matrices(l, S, M);
                for (int p = 0, t = 0; p < 8; ++p)
                    for (int q = p; q < 8; ++q, ++t) {
                        const Real a =
                            kept ? kk * kept[36 + t] + kept[t] : kk * M[8 * p + q] + S[8 * p + q];
                        record[t] = a;
                        outside += envelope_add(l[p], l[q], sigma * a, diag_.get(), env_.get(),
                                                perm, xenv, &position);
                    }
                if (outside) return fail(model::SolverStatus::matrix, quad_error);
                if (!staged_) continue;
                std::copy(l, l + 8, nodes);
                if (model::SolverResult r = write_record(record, nodes); !r.ok()) return r;
                continue;
            }
            // The centre element: (middle, start, centre) and (middle, close, centre) on r(R).
            const int triangles[2][3] = {{l[5], l[4], N_}, {l[5], l[6], N_}};
            const int local[2][3] = {{2, 1, 0}, {2, 3, 0}}; // in (centre, start, middle, close)
            std::fill(record, record + 36, Real(0));
            for (int t = 0; t < 2; ++t) {
                Real x[3], y[3];
                for (int q = 0; q < 3; ++q) {
                    x[q] = x_[triangles[t][q] - 1];
                    y[q] = y_[triangles[t][q] - 1];
                }
                if constexpr (double_field)
                    triangle_element_matrices_dbl(x, y, S, M);
                else
                    triangle_element_matrices(x, y, S, M);
                for (int p = 0; p < 3; ++p)
                    for (int q = 0; q < 3; ++q) {
                        const Real a = kk * M[3 * p + q] + S[3 * p + q];
                        const int u = local[t][p], v = local[t][q];
                        if (u <= v) record[upper_index(u, v)] += a;
                        if (q >= p)
                            outside += envelope_add(triangles[t][p], triangles[t][q], sigma * a,
                                                    diag_.get(), env_.get(), perm, xenv, &position);
                    }
            }
            if (outside) return fail(model::SolverStatus::matrix, tri_error);
            if (!staged_) continue;
            const std::int32_t centre[4] = {N_, l[4], l[5], l[6]};
            std::copy(centre, centre + 4, nodes);
            std::copy(centre, centre + 4, nodes + 4);
            if (model::SolverResult r = write_record(record, nodes); !r.ok()) return r;
        }
    return {};
}

// A unit current at every electrode but the last; the values at the later electrodes. The back
// solve stops at the first of them: the rows above it are not read. Mode 1 solves whole, at the
// last electrode too, and writes every solution.
template <class T> model::SolverResult Run<T>::solve_sources(int w) {
    T* v = rhs_.get();
    int p = 0;
    const int sources = staged_ ? in_.nelec : in_.nelec - 1;
    for (int e = 1; e <= sources; ++e) {
        std::fill(v, v + N_, T(0));
        v[node(e) - 1] = T(1);
        envelope_lower_solve(N_, xenv_.get(), env_.get(), diag_.get(), v);
        envelope_upper_solve(N_, xenv_.get(), env_.get(), diag_.get(), v,
                             staged_ ? 1 : node(e + 1));
        for (int e2 = e + 1; e2 <= in_.nelec; ++e2)
            pair_values_[std::size_t(w) * pairs_ + p++] = v[node(e2) - 1];
        if constexpr (!complex_field)
            if (staged_ && std::fwrite(v, sizeof(T), std::size_t(N_), files_[solution_file]) !=
                               std::size_t(N_))
                return file_failure("Error in writing file\n%s", paths_[solution_file]);
    }
    VERIFY(p == pairs_, p); // every pair once, in the order of the transform
    return {};
}

// The three work files of wavenumber w read back whole, and u_C . K_e u_P of every datum's
// pairs (C1 P1, C1 P2, C2 P1, C2 P2) and element into the term table.
template <class T> model::SolverResult Run<T>::read_back_and_sum(int w) {
    const std::size_t sizes[3] = {36 * sizeof(Real) * elements_,
                                  8 * sizeof(std::int32_t) * elements_,
                                  sizeof(Real) * std::size_t(in_.nelec) * N_};
    void* buffers[3] = {records_.get(), record_nodes_.get(), solutions_.get()};
    for (int f = 0; f < 3; ++f)
        if (!read_file_exactly(paths_[f], buffers[f], sizes[f]))
            return file_failure("Error in reading file\n%s", paths_[f]);
    const Sensitivities& out = *in_.sensitivities;
    const Real* u = solutions_.get();
    for (int d = 0; d < out.ndata; ++d) {
        const std::int32_t* e = &out.electrodes[4 * std::size_t(d)];
        const int pair[4][2] = {{e[0], e[2]}, {e[0], e[3]}, {e[1], e[2]}, {e[1], e[3]}};
        for (int slot = 0; slot < 4; ++slot) {
            double* terms =
                terms_.get() + ((std::size_t(w) * out.ndata + d) * 4 + slot) * elements_;
            const int c = pair[slot][0], q = pair[slot][1];
            if (c == 0 || q == 0 || c == q) {
                std::fill(terms, terms + elements_, 0.0);
                continue;
            }
            const Real* uc = u + std::size_t(c - 1) * N_;
            const Real* up = u + std::size_t(q - 1) * N_;
            for (int r = 0; r < elements_; ++r) {
                const Real* K = records_.get() + 36 * std::size_t(r);
                const std::int32_t* l = record_nodes_.get() + 8 * std::size_t(r);
                double sum = 0.0;
                for (int a = 0; a < 8; ++a)
                    for (int b = 0; b < 8; ++b)
                        sum += double(uc[l[a] - 1]) *
                               K[a <= b ? upper_index(a, b) : upper_index(b, a)] * up[l[b] - 1];
                // Records run sector by sector, ring by ring inside; cells ring by ring.
                const int sector = r / in_.radii, ring = r % in_.radii;
                terms[sector + std::size_t(n_) * ring] = sum;
            }
        }
    }
    return {};
}

// The integral over wavenumber of one pair's values (changed in place: the sign of the first
// value is taken out), divided by pi radius.
template <class T> typename Run<T>::Real Run<T>::integrate(Real* v, bool imaginary) const {
    Real sign = Real(1);
    if (v[0] < Real(0)) {
        sign = Real(-1);
        for (int w = 0; w < nk; ++w)
            v[w] = -v[w];
    }
    if constexpr (double_field) {
        const int m = count_significant_dbl(nk, v);
        return sign * log_spline_integral_geo_dbl(k_, v, m, 4) / (in_.radius * 3.141593);
    } else {
        const int m = imaginary ? count_imaginary(v) : count_significant_flt(nk, v);
        const float integral = log_spline_integral_flt(k_, v, m, 4);
        return sign * integral / (float(in_.radius) * 3.141593f);
    }
}

// The integral of the first m of the positive values v, in double, divided by pi radius.
template <class T> double Run<T>::integral_of(const double* v, int m) const {
    double k[nk];
    std::copy(k_, k_ + nk, k);
    const double integral = double_field ? log_spline_integral_geo_dbl(k, v, m, 4)
                                         : log_spline_integral_dbl(k, v, m, 4);
    return integral / (double(Real(in_.radius)) * 3.141593);
}

// The derivative of pair p's potential with respect to each of its wavenumber values (0 beyond
// the values integrated), by central differences of the integral.
template <class T> void Run<T>::pair_weights(int p, double* weights) const {
    Real v[nk];
    for (int w = 0; w < nk; ++w)
        v[w] = std::real(pair_values_[std::size_t(w) * pairs_ + p]);
    const Real sign = v[0] < Real(0) ? Real(-1) : Real(1);
    for (Real& value : v)
        value *= sign;
    int m = 0;
    if constexpr (double_field)
        m = count_significant_dbl(nk, v);
    else
        m = count_significant_flt(nk, v);
    double u[nk];
    std::copy(v, v + nk, u);
    for (int w = 0; w < nk; ++w) {
        weights[w] = 0.0;
        if (w >= m || !(u[w] > 0.0)) continue;
        const double h = 1e-4 * u[w], centre = u[w];
        u[w] = centre + h;
        const double up = integral_of(u, m);
        u[w] = centre - h;
        const double down = integral_of(u, m);
        u[w] = centre;
        weights[w] = (up - down) / (2.0 * h);
    }
}

// Every datum's sensitivity to every cell: over its pairs and the wavenumbers, the pair's weight
// of the wavenumber times the cell's conductivity times the term.
template <class T> void Run<T>::sensitivities() const {
    Sensitivities& out = *in_.sensitivities;
    std::vector<double> weights(std::size_t(pairs_) * nk);
    std::vector<char> known(pairs_, 0);
    const int sign[4] = {1, -1, -1, 1};
    for (int d = 0; d < out.ndata; ++d) {
        const std::int32_t* e = &out.electrodes[4 * std::size_t(d)];
        const int pair[4][2] = {{e[0], e[2]}, {e[0], e[3]}, {e[1], e[2]}, {e[1], e[3]}};
        for (int slot = 0; slot < 4; ++slot) {
            const int a = std::min(pair[slot][0], pair[slot][1]);
            const int b = std::max(pair[slot][0], pair[slot][1]);
            if (a == 0 || a == b) continue;
            const int p = (a - 1) * (2 * in_.nelec - a) / 2 + (b - a - 1);
            double* weight = &weights[std::size_t(p) * nk];
            if (!known[p]) pair_weights(p, weight);
            known[p] = 1;
            for (int w = 0; w < nk; ++w) {
                const double* terms =
                    terms_.get() + ((std::size_t(w) * out.ndata + d) * 4 + slot) * elements_;
                for (int c = 0; c < elements_; ++c)
                    out.values[std::size_t(c) * out.ndata + d] +=
                        sign[slot] * weight[w] *
                        double(std::real(cell_value(in_, c, static_cast<T*>(nullptr)))) * terms[c];
            }
        }
    }
}

template <class T> void Run<T>::transform() const {
    Real v[nk];
    auto store = [&](double* table, int a, int b, Real value) {
        table[index2d(a, b, in_.lead)] = value;
        table[index2d(b, a, in_.lead)] = value;
    };
    int p = 0;
    for (int a = 1; a < in_.nelec; ++a)
        for (int b = a + 1; b <= in_.nelec; ++b, ++p) {
            for (int w = 0; w < nk; ++w)
                v[w] = std::real(pair_values_[std::size_t(w) * pairs_ + p]);
            store(in_.table, a, b, integrate(v, false));
            if constexpr (complex_field) {
                for (int w = 0; w < nk; ++w)
                    v[w] = std::imag(pair_values_[std::size_t(w) * pairs_ + p]);
                store(in_.table_im, a, b, integrate(v, true));
            }
        }
}

template <class T> void Run<T>::progress(int w) const {
    const float percent = 100.0f * float(w) / float(nk);
    char text[80];
    std::snprintf(text, sizeof text, "Finite-Element Calculations - %5.1f%% completed",
                  double(percent));
    update_status(text, round_to_int(percent * 0.01f * float(Statuswind.bar_width)));
}

// The listing of the double-precision run: the mesh line and the electrode nodes.
template <class T> model::SolverResult Run<T>::start_listing() {
    listing_path_ = std::string(in_.folder ? in_.folder : "") + "cylgradd.txt";
    listing_ = std::fopen(listing_path_.c_str(), "wt");
    if (!listing_)
        return file_failure("There has been an error in creating\nthe file %s.", listing_path_);
    std::fprintf(listing_, "nxe %d nze %d  col1 %d col2 %d\n", n_, in_.radii, 2 * R_ + 1,
                 in_.radii);
    for (int e = 1; e <= in_.nelec; ++e)
        std::fprintf(listing_, "%2d %d\n", e, node(e));
    return {};
}

// The sensitivities and the check table of the transfer potentials.
template <class T> model::SolverResult Run<T>::finish_listing() {
    std::fprintf(listing_, "Data Model C1 C2 P1 P2  grad\n");
    if (staged_) {
        const Sensitivities& out = *in_.sensitivities;
        for (int c = 0; c < out.cells; ++c)
            for (int d = 0; d < out.ndata; ++d) {
                const std::int32_t* e = &out.electrodes[4 * std::size_t(d)];
                std::fprintf(listing_, " %3d  %3d  %2d %2d %2d %2d  %.6f\n", d + 1, c + 1, e[0],
                             e[1], e[2], e[3], out.values[std::size_t(c) * out.ndata + d]);
            }
    }
    auto G = [this](int a, int b) { return in_.table[index2d(a, b, in_.lead)]; };
    for (int i = 1; i <= in_.nelec - 3; ++i)
        std::fprintf(listing_, "%2d %2d %2d %2d %2d %.6f %.6f %.6f %.6f %.6f\n", i, 2, 1, i + 2,
                     i + 3, G(2, i + 2), G(2, i + 3), G(1, i + 2), G(1, i + 3),
                     G(2, i + 2) - G(2, i + 3) - G(1, i + 2) + G(1, i + 3));
    const bool closed = std::fclose(listing_) == 0;
    listing_ = nullptr;
    if (!closed) return file_failure("Error in writing file\n%s", listing_path_);
    return {};
}

template <class T> model::SolverResult Run<T>::execute() {
    staged_ = !complex_field && in_.mode == 1;
    if (model::SolverResult r = check(); !r.ok()) return r;
    if constexpr (double_field) {
        x_ = in_.node_x_dbl;
        y_ = in_.node_y_dbl;
    } else {
        x_ = in_.node_x;
        y_ = in_.node_y;
    }
    if (model::SolverResult r = allocate(); !r.ok()) return r;
    if constexpr (double_field) {
        if (model::SolverResult r = start_listing(); !r.ok()) return r;
        fd::log_spaced(nk, k_, double(in_.nelec) * 0.03 * 0.0625,
                       double(in_.nelec) * 16.5 * 0.0625);
    } else {
        cylinder_wavenumbers(in_.nelec, k_);
    }
    for (int w = 0; w < nk; ++w) {
        progress(w);
        if (staged_) {
            for (int f : {element_file, node_file})
                if (model::SolverResult r = open_work_file(f); !r.ok()) return r;
        }
        if (model::SolverResult r = assemble(k_[w] * k_[w]); !r.ok()) return r;
        if (staged_) {
            for (int f : {element_file, node_file})
                if (model::SolverResult r = close_work_file(f); !r.ok()) return r;
        }
        if (const int row = envelope_factor(N_, xenv_.get(), env_.get(), diag_.get())) {
            fail(model::SolverStatus::pivot, "error in envfac");
            return model::SolverResult::pivot_at(row);
        }
        if (staged_) {
            if (model::SolverResult r = open_work_file(solution_file); !r.ok()) return r;
        }
        if (model::SolverResult r = solve_sources(w); !r.ok()) return r;
        if (staged_) {
            if (model::SolverResult r = close_work_file(solution_file); !r.ok()) return r;
            if (model::SolverResult r = read_back_and_sum(w); !r.ok()) return r;
        }
    }
    if (staged_) sensitivities();
    transform();
    if constexpr (double_field) return finish_listing();
    return {};
}

// A run with its vectors' refused memory reported.
template <class T> model::SolverResult run(const SolverInputs& in) {
    try {
        return Run<T>(in).execute();
    } catch (const std::bad_alloc&) {
        return fail(model::SolverStatus::no_memory, "Insufficient memory!.");
    }
}

} // namespace

model::SolverResult solve_transfer_potentials(const SolverInputs& in) {
    SolverInputs plain = in;
    plain.mode = 0;
    return run<float>(plain);
}

model::SolverResult solve_transfer_potentials_staged(const SolverInputs& in) {
    return run<float>(in);
}

model::SolverResult solve_transfer_potentials_dbl(const SolverInputs& in) {
    return run<double>(in);
}

model::SolverResult solve_transfer_potentials_complex(const SolverInputs& in) {
    return run<std::complex<float>>(in);
}

} // namespace cyl

namespace {

// The inputs of the named routines: the output tables packed by nelec.
cyl::SolverInputs packed_inputs(float radius, int nodes_per_spacing, int nelec, const float* node_x,
                                const float* node_y, int le, int ne,
                                std::int32_t* electrode_nodes) {
    cyl::SolverInputs in;
    in.radius = radius;
    in.nodes_per_spacing = nodes_per_spacing;
    in.nelec = nelec;
    in.sectors = le;
    in.radii = ne;
    in.node_x = node_x;
    in.node_y = node_y;
    in.lead = nelec;
    in.electrode_nodes = electrode_nodes;
    return in;
}

} // namespace

model::SolverResult calresfemcylenvqc1(float radius, int nodes_per_spacing, int nelec,
                                       const float* conductivity, const float* node_x,
                                       const float* node_y, int le, int ne, double* table,
                                       std::int32_t* electrode_nodes) {
    cyl::SolverInputs in =
        packed_inputs(radius, nodes_per_spacing, nelec, node_x, node_y, le, ne, electrode_nodes);
    in.conductivity = conductivity;
    in.table = table;
    return cyl::solve_transfer_potentials(in);
}

model::SolverResult calresfemcylenv_complex(float radius, int nodes_per_spacing, int nelec,
                                            const float* conductivity_re,
                                            const float* conductivity_im, const float* node_x,
                                            const float* node_y, int le, int ne, double* table_re,
                                            double* table_im, std::int32_t* electrode_nodes) {
    cyl::SolverInputs in =
        packed_inputs(radius, nodes_per_spacing, nelec, node_x, node_y, le, ne, electrode_nodes);
    in.conductivity = conductivity_re;
    in.conductivity_im = conductivity_im;
    in.table = table_re;
    in.table_im = table_im;
    return cyl::solve_transfer_potentials_complex(in);
}
