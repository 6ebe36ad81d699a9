// The cylinder solvers in phases: check and allocate (electrode nodes, adjacency, envelope,
// element matrices), then wavenumber by wavenumber assemble, factor and solve, then the
// transform of every pair. One Run object owns the work arrays of a call.
#include "cylinder/cylinder.h"

#include "cylinder/element.h"
#include "cylinder/envelope.h"
#include "cylinder/mesh.h"
#include "fdsolve/spline.h"
#include "model/globals.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/verify.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <type_traits>

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

namespace {

constexpr int nk = wavenumber_count;

// The conductivity of cell c as the field of the solve.
float cell_value(const SolverInputs& in, int c, float*) {
    return in.conductivity[c];
}
std::complex<float> cell_value(const SolverInputs& in, int c, std::complex<float>*) {
    return {in.conductivity[c], in.conductivity_im[c]};
}

model::SolverResult fail(model::SolverStatus status, const char* text) {
    model::report_error(model::Shown::box, "Error Message", "%s", text);
    return model::SolverResult::failure(status);
}

// Number of leading values of the imaginary parts worth integrating: positive, and above 1e-10
// of the third value.
int count_imaginary(const float* v) {
    int m = 0;
    while (m < nk && v[m] > 0.0f && std::fabs(v[m] / v[2]) > 1e-10f)
        ++m;
    return m;
}

template <class T> class Run {
  public:
    explicit Run(const SolverInputs& in) : in_(in) {}
    model::SolverResult execute();

  private:
    static constexpr bool complex_field = !std::is_same<T, float>::value;
    const SolverInputs& in_;
    int n_ = 0, R_ = 0, N_ = 0, pairs_ = 0;
    float k_[nk];
    mx::PageArray<int> perm_, xenv_;
    mx::PageArray<T> env_, diag_, rhs_;
    mx::PageArray<T> pair_values_;    // wavenumber w, pair p at w pairs + p
    mx::PageArray<float> quad_terms_; // S then M, upper triangles, 72 floats per quadrilateral

    int node(int e) const { return in_.electrode_nodes[e - 1]; }
    model::SolverResult check() const;
    model::SolverResult allocate();
    void quad_matrices(int s, int j, const int (&l)[8], float* S, float* M) const;
    void keep_quad_matrices();
    model::SolverResult assemble(float kk);
    void solve_sources(int w);
    float integrate(float* v, bool imaginary) const;
    void transform() const;
    void progress(int w) const;
};

template <class T> model::SolverResult Run<T>::check() const {
    const SolverInputs& in = in_;
    const bool fits = in.nelec >= 2 && in.nodes_per_spacing >= 1 && in.radii >= 2 &&
                      in.sectors == in.nelec * in.nodes_per_spacing && in.lead >= in.nelec &&
                      in.node_x && in.node_y && in.conductivity && in.table && in.electrode_nodes &&
                      (!complex_field || (in.conductivity_im && in.table_im));
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
    const char* no_memory = "Insufficient memory!.";
    for (int e = 1; e <= in_.nelec; ++e)
        in_.electrode_nodes[e - 1] = 2 * R_ + 2 + (e - 1) * in_.nodes_per_spacing * (3 * R_ + 2);
    mx::PageArray<int> xadj, adjncy;
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

// S and M of the quadrilateral of sector s, ring j (nodes l), full 8 x 8. The r sin of each node
// goes first, so that det J is positive on a mesh whose radii decrease inwards.
template <class T>
void Run<T>::quad_matrices(int s, int j, const int (&l)[8], float* S, float* M) const {
    float x[8], y[8];
    for (int q = 0; q < 8; ++q) {
        x[q] = in_.node_y[l[q] - 1];
        y[q] = in_.node_x[l[q] - 1];
    }
    std::fill(S, S + 64, 0.0f);
    std::fill(M, M + 64, 0.0f);
    quad8_element_matrices(x, y, S, M);
}

template <class T> void Run<T>::keep_quad_matrices() {
    float S[64], M[64];
    for (int j = 1; j <= R_; ++j)
        for (int s = 1; s <= n_; ++s) {
            int l[8];
            quad_nodes(n_, R_, s, j, l);
            quad_matrices(s, j, l, S, M);
            float* out = quad_terms_.get() + 72 * (std::size_t(j - 1) * n_ + (s - 1));
            for (int p = 0; p < 8; ++p)
                for (int q = p; q < 8; ++q) {
                    out[0] = S[8 * p + q];
                    out[36] = M[8 * p + q];
                    ++out;
                }
        }
}

// The matrix of wavenumber k (kk = k^2): quadrilaterals and centre triangles, sector by sector
// and ring by ring inside. A matrix failure after its message when an entry falls outside the
// envelope.
template <class T> model::SolverResult Run<T>::assemble(float kk) {
    std::fill(env_.get(), env_.get() + env_.size(), T(0));
    std::fill(diag_.get(), diag_.get() + diag_.size(), T(0));
    const int* perm = perm_.get();
    const int* xenv = xenv_.get();
    int position = 0;
    float S[64], M[64];
    for (int s = 1; s <= n_; ++s)
        for (int j = 1; j <= in_.radii; ++j) {
            const T sigma = cell_value(in_, (s - 1) + n_ * (j - 1), static_cast<T*>(nullptr));
            int l[8];
            quad_nodes(n_, R_, s, j < in_.radii ? j : R_, l);
            int outside = 0;
            if (j < in_.radii) {
                const float* kept = nullptr;
                if (in_.element_matrices_once)
                    kept = quad_terms_.get() + 72 * (std::size_t(j - 1) * n_ + (s - 1));
                else
                    quad_matrices(s, j, l, S, M);
                for (int p = 0, t = 0; p < 8; ++p)
                    for (int q = p; q < 8; ++q, ++t) {
                        const float a =
                            kept ? kk * kept[36 + t] + kept[t] : kk * M[8 * p + q] + S[8 * p + q];
                        outside += envelope_add(l[p], l[q], sigma * a, diag_.get(), env_.get(),
                                                perm, xenv, &position);
                    }
                if (outside) return fail(model::SolverStatus::matrix, "Error in envij quad");
                continue;
            }
            // The centre element: (middle, start, centre) and (middle, close, centre) on r(R).
            const int triangles[2][3] = {{l[5], l[4], N_}, {l[5], l[6], N_}};
            for (const auto& tri : triangles) {
                float x[3], y[3];
                for (int q = 0; q < 3; ++q) {
                    x[q] = in_.node_x[tri[q] - 1];
                    y[q] = in_.node_y[tri[q] - 1];
                }
                triangle_element_matrices(x, y, S, M);
                for (int p = 0; p < 3; ++p)
                    for (int q = p; q < 3; ++q)
                        outside +=
                            envelope_add(tri[p], tri[q], sigma * (kk * M[3 * p + q] + S[3 * p + q]),
                                         diag_.get(), env_.get(), perm, xenv, &position);
            }
            if (outside) return fail(model::SolverStatus::matrix, "Error in envij tri");
        }
    return {};
}

// A unit current at every electrode but the last; the values at the later electrodes. The back
// solve stops at the first of them: the rows above it are not read.
template <class T> void Run<T>::solve_sources(int w) {
    T* v = rhs_.get();
    int p = 0;
    for (int e = 1; e < in_.nelec; ++e) {
        std::fill(v, v + N_, T(0));
        v[node(e) - 1] = T(1);
        envelope_lower_solve(N_, xenv_.get(), env_.get(), diag_.get(), v);
        envelope_upper_solve(N_, xenv_.get(), env_.get(), diag_.get(), v, node(e + 1));
        for (int e2 = e + 1; e2 <= in_.nelec; ++e2)
            pair_values_[std::size_t(w) * pairs_ + p++] = v[node(e2) - 1];
    }
    VERIFY(p == pairs_, p); // every pair once, in the order of the transform
}

// The integral over wavenumber of one pair's values (changed in place: the sign of the first
// value is taken out), divided by pi radius.
template <class T> float Run<T>::integrate(float* v, bool imaginary) const {
    float sign = 1.0f;
    if (v[0] < 0.0f) {
        sign = -1.0f;
        for (int w = 0; w < nk; ++w)
            v[w] = -v[w];
    }
    const int m = imaginary ? count_imaginary(v) : count_significant_flt(nk, v);
    const float integral = log_spline_integral_flt(k_, v, m, 4);
    return sign * integral / (in_.radius * 3.141593f);
}

template <class T> void Run<T>::transform() const {
    float v[nk];
    auto store = [&](double* table, int a, int b, float value) {
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

template <class T> model::SolverResult Run<T>::execute() {
    if (model::SolverResult r = check(); !r.ok()) return r;
    if (model::SolverResult r = allocate(); !r.ok()) return r;
    cylinder_wavenumbers(in_.nelec, k_);
    for (int w = 0; w < nk; ++w) {
        progress(w);
        if (model::SolverResult r = assemble(k_[w] * k_[w]); !r.ok()) return r;
        if (const int row = envelope_factor(N_, xenv_.get(), env_.get(), diag_.get())) {
            fail(model::SolverStatus::pivot, "error in envfac");
            return model::SolverResult::pivot_at(row);
        }
        solve_sources(w);
    }
    transform();
    return {};
}

} // namespace

model::SolverResult solve_transfer_potentials(const SolverInputs& in) {
    return Run<float>(in).execute();
}

model::SolverResult solve_transfer_potentials_complex(const SolverInputs& in) {
    return Run<std::complex<float>>(in).execute();
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
