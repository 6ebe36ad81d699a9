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
#include "matrix/envelope_lanes.h"
#include "model/globals.h"
#include "model/phase_clock.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/thread_pool.h"
#include "platform/sys/verify.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <complex>
#include <cstdio>
#include <memory>
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

// The failure codes of a step, reported by the owner from the step's record.
constexpr int step_failed = 1;

// Sources solved together at most.
constexpr int block_lanes = 8 * mx::envelope_lane_group;

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
    // The work arrays of one worker: the matrix of its wavenumber, the factorisation's work
    // and the right-hand sides of its sources (the real parts apart from the imaginary ones).
    struct Worker {
        sys::PageArray<T> env, diag;
        sys::PageArray<double> work;
        sys::PageArray<Real> b_re;
        sys::PageArray<float> b_im;
    };
    // What a failed step leaves for the owner: its result and the message still to show.
    struct Failure {
        model::SolverResult result;
        const char* text = nullptr;
    };
    const SolverInputs& in_;
    int n_ = 0, R_ = 0, N_ = 0, pairs_ = 0, elements_ = 0, size_ = 0, lanes_ = 0;
    Real k_[nk];
    const Real *x_ = nullptr, *y_ = nullptr; // node coordinates
    sys::PageArray<int> perm_, xenv_;
    sys::PageArray<T> pair_values_;   // wavenumber w, pair p at w pairs + p
    sys::PageArray<Real> quad_terms_; // S then M, upper triangles, 72 values per quadrilateral
    std::vector<Worker> workers_;
    std::vector<Failure> failures_; // of every step
    std::unique_ptr<model::BreakWatch> watch_;
    mx::StopTest stop_test_;

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
    int sources() const { return staged_ ? in_.nelec : in_.nelec - 1; }
    model::SolverResult check() const;
    model::SolverResult allocate();
    model::SolverResult allocate_staging();
    // The element counts of a worker's arrays: env, diag, work, and b_re and b_im each.
    struct WorkerSizes {
        std::size_t env, diag, work, lanes;
    };
    WorkerSizes worker_sizes() const;
    bool take_worker(Worker& w) const;
    int take_workers();
    void quad_matrices(const int (&l)[8], Real* S, Real* M) const;
    void keep_quad_matrices();
    model::SolverResult open_work_file(int f);
    model::SolverResult close_work_file(int f);
    model::SolverResult write_record(const Real* terms, const std::int32_t* nodes);
    model::SolverResult assemble(Worker& w, Real kk, const char** failed);
    int step(Worker& w, int l);
    bool solve_sources(Worker& w, int l);
    model::SolverResult write_solutions(const Worker& w);
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
    size_ = find_envelope(N_, xadj.get(), adjncy.get(), perm_.get(), perm_.get(), xenv_.get(),
                          &bandwidth);
    xadj.release();
    adjncy.release();
    const std::size_t quads = std::size_t(n_) * R_;
    if (!pair_values_.allocate(std::size_t(pairs_) * nk) ||
        (in_.element_matrices_once && !quad_terms_.allocate(72 * quads)))
        return fail(model::SolverStatus::no_memory, no_memory);
    if (in_.element_matrices_once) keep_quad_matrices();
    // Mode 1 writes every solution of a wavenumber in turn: one block holds all its sources.
    const int G = mx::envelope_lane_group, all = (sources() + G - 1) / G * G;
    lanes_ = staged_ ? all : std::min(block_lanes, all);
    return {};
}

template <class T> typename Run<T>::WorkerSizes Run<T>::worker_sizes() const {
    return {std::size_t(size_) + 1, std::size_t(N_), mx::envelope_factor_work(N_, complex_field),
            std::size_t(N_) * lanes_};
}

template <class T> bool Run<T>::take_worker(Worker& w) const {
    const WorkerSizes n = worker_sizes();
    return w.env.allocate(n.env) && w.diag.allocate(n.diag) && w.work.allocate(n.work) &&
           w.b_re.allocate(n.lanes) && (!complex_field || w.b_im.allocate(n.lanes));
}

// As many workers as the solver threads (one a wavenumber at most; one for the variant with work
// files, whose records go in the order of the wavenumbers) whose arrays the free memory holds,
// all of them counted before any is taken: the arrays are only reserved, and every page of them
// is written in the run.
template <class T> int Run<T>::take_workers() {
    const WorkerSizes n = worker_sizes();
    const long long bytes =
        (long long)((n.env + n.diag) * sizeof(T) + n.work * sizeof(double) +
                    n.lanes * (sizeof(Real) + (complex_field ? sizeof(float) : 0)));
    const int wanted = sys::workers_in_free_memory(
        staged_ ? 1 : std::max(1, std::min(sys::pool_threads(), nk)), bytes);
    workers_.reserve(std::size_t(wanted));
    while (int(workers_.size()) < wanted) {
        Worker w;
        if (!take_worker(w)) break;
        workers_.push_back(std::move(w));
    }
    return int(workers_.size());
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

// The matrix of wavenumber k (kk = k^2) in w's arrays: quadrilaterals and centre triangles,
// sector by sector and ring by ring inside. A matrix failure, its message left in *failed, when
// an entry falls outside the envelope. Mode 1 writes each element's unit-conductivity terms and
// nodes as it goes; a centre element's record holds its four nodes (centre, start, middle,
// close) twice, their 4 x 4 matrix in the leading rows and columns.
template <class T> model::SolverResult Run<T>::assemble(Worker& w, Real kk, const char** failed) {
    T* env = w.env.get();
    T* diag = w.diag.get();
    std::fill(env, env + w.env.size(), T(0));
    std::fill(diag, diag + w.diag.size(), T(0));
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
                        outside +=
                            envelope_add(l[p], l[q], sigma * a, diag, env, perm, xenv, &position);
                    }
                if (outside) {
                    *failed = quad_error;
                    return model::SolverResult::failure(model::SolverStatus::matrix);
                }
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
                                                    diag, env, perm, xenv, &position);
                    }
            }
            if (outside) {
                *failed = tri_error;
                return model::SolverResult::failure(model::SolverStatus::matrix);
            }
            if (!staged_) continue;
            const std::int32_t centre[4] = {N_, l[4], l[5], l[6]};
            std::copy(centre, centre + 4, nodes);
            std::copy(centre, centre + 4, nodes + 4);
            if (model::SolverResult r = write_record(record, nodes); !r.ok()) return r;
        }
    return {};
}

// A unit current at every electrode but the last, lanes_ sources at a time; the values at the
// later electrodes into the pair values of wavenumber l. The back solve stops at the first of
// them: the rows above it are not read. Mode 1 solves whole, at the last electrode too. False
// when the user broke the run first.
template <class T> bool Run<T>::solve_sources(Worker& w, int l) {
    std::vector<int> first(static_cast<std::size_t>(lanes_)), last(first);
    T* pairs = pair_values_.get() + std::size_t(l) * pairs_;
    const std::size_t lanes = std::size_t(lanes_);
    for (int e0 = 1; e0 <= sources(); e0 += lanes_) {
        if (watch_->seen()) return false;
        const int count = std::min(lanes_, sources() - e0 + 1);
        std::fill(w.b_re.get(), w.b_re.get() + w.b_re.size(), Real(0));
        if (complex_field) std::fill(w.b_im.get(), w.b_im.get() + w.b_im.size(), 0.0f);
        for (int q = 0; q < lanes_; ++q) {
            first[std::size_t(q)] = last[std::size_t(q)] = N_;
            if (q >= count) continue;
            const int e = e0 + q;
            w.b_re[std::size_t(node(e) - 1) * lanes + q] = Real(1);
            first[std::size_t(q)] = node(e);
            last[std::size_t(q)] = staged_ ? 1 : node(e + 1);
        }
        bool done = false;
        if constexpr (complex_field)
            done = mx::envelope_solve_lanes(N_, xenv_.get(), w.env.get(), w.diag.get(), lanes_,
                                            w.b_re.get(), w.b_im.get(), first.data(), last.data(),
                                            &stop_test_);
        else
            done = mx::envelope_solve_lanes(N_, xenv_.get(), w.env.get(), w.diag.get(), lanes_,
                                            w.b_re.get(), first.data(), last.data(), &stop_test_);
        if (!done) return false;
        for (int q = 0; q < count; ++q) {
            const int e = e0 + q;
            for (int e2 = e + 1; e2 <= in_.nelec; ++e2) {
                const std::size_t at = std::size_t(node(e2) - 1) * lanes + q;
                T v;
                if constexpr (complex_field)
                    v = T(w.b_re[at], w.b_im[at]);
                else
                    v = w.b_re[at];
                pairs[(e - 1) * (2 * in_.nelec - e) / 2 + (e2 - e - 1)] = v;
            }
        }
    }
    return true;
}

// Mode 1: every source's whole solution, in the order of the sources (one block of lanes holds
// them all).
template <class T> model::SolverResult Run<T>::write_solutions(const Worker& w) {
    if constexpr (!complex_field) {
        std::vector<Real> v(static_cast<std::size_t>(N_));
        for (int e = 1; e <= in_.nelec; ++e) {
            for (int i = 0; i < N_; ++i)
                v[std::size_t(i)] = w.b_re[std::size_t(i) * lanes_ + (e - 1)];
            if (std::fwrite(v.data(), sizeof(Real), v.size(), files_[solution_file]) != v.size())
                return file_failure("Error in writing file\n%s", paths_[solution_file]);
        }
    }
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

// Step l: wavenumber l on worker w (assemble, factor, solve the sources). Mode 1, on the owner's
// thread, writes the work files of the wavenumber, solves the sources whole and reads
// everything back to sum it; a file failure is shown at once.
template <class T> int Run<T>::step(Worker& w, int l) {
    Failure& failure = failures_[std::size_t(l)];
    model::PhaseTimer timer(model::Phase::assembly);
    for (int f : {element_file, node_file})
        if (staged_ && !(failure.result = open_work_file(f)).ok()) return step_failed;
    failure.result = assemble(w, k_[l] * k_[l], &failure.text);
    if (!failure.result.ok()) return step_failed;
    for (int f : {element_file, node_file})
        if (staged_ && !(failure.result = close_work_file(f)).ok()) return step_failed;
    timer.stop(model::Phase::factor);
    const int row = mx::envelope_factor_blocks(N_, xenv_.get(), w.env.get(), w.diag.get(),
                                               w.work.get(), &stop_test_);
    if (row < 0) return sys::step_stopped;
    if (row > 0) {
        failure.result = model::SolverResult::pivot_at(row);
        failure.text = "error in envfac";
        return step_failed;
    }
    timer.stop(model::Phase::solves);
    if (!solve_sources(w, l)) return sys::step_stopped;
    if (!staged_) return sys::step_done;
    timer.stop(model::Phase::work_files);
    if (!(failure.result = open_work_file(solution_file)).ok() ||
        !(failure.result = write_solutions(w)).ok() ||
        !(failure.result = close_work_file(solution_file)).ok() ||
        !(failure.result = read_back_and_sum(l)).ok())
        return step_failed;
    return sys::step_done;
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
    model::PhaseTimer setup(model::Phase::setup);
    if (model::SolverResult r = allocate(); !r.ok()) return r;
    if constexpr (double_field) {
        if (model::SolverResult r = start_listing(); !r.ok()) return r;
        fd::log_spaced(nk, k_, double(in_.nelec) * 0.03 * 0.0625,
                       double(in_.nelec) * 16.5 * 0.0625);
    } else {
        cylinder_wavenumbers(in_.nelec, k_);
    }
    if (take_workers() == 0) return fail(model::SolverStatus::no_memory, "Insufficient memory!.");
    watch_.reset(new model::BreakWatch(workers_.size() == 1));
    stop_test_ = [this] { return watch_->seen(); };
    failures_.assign(nk, Failure{});
    setup.stop();
    const sys::StepsOutcome outcome = sys::run_steps(
        nk, int(workers_.size()),
        [this](int w, int l, const std::atomic<bool>&) {
            return step(workers_[std::size_t(w)], l);
        },
        [this] { return watch_->owner_test(); }, [this](int done) { progress(done); });
    workers_.clear();
    if (outcome.aborted) return model::SolverResult::failure(model::SolverStatus::user_abort);
    if (outcome.failed >= 0) {
        const Failure& f = failures_[std::size_t(outcome.failed)];
        if (f.text) model::report_error(model::Shown::box, "Error Message", "%s", f.text);
        return f.result;
    }
    if (staged_) sensitivities();
    {
        model::PhaseTimer timer(model::Phase::transform);
        transform();
    }
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

// The variants say in the trace which one runs, as the calculation's own line does for the
// plain solver (no command chooses them).
model::SolverResult solve_transfer_potentials_staged(const SolverInputs& in) {
    model::trace("\nCylinder calresfemcylenvqc1g\n");
    return run<float>(in);
}

model::SolverResult solve_transfer_potentials_dbl(const SolverInputs& in) {
    model::trace("\nCylinder calresfemcylenvqc1gd\n");
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
