// Array sensitivities and the model resolution of an array set.
#include "optimise/resolution.h"

#include "matrix/matrixfile.h"
#include "matrix/packed.h"
#include "model/globals.h"
#include "model/records.h"
#include "model/result_check.h"
#include "model/services.h"
#include "model/utilities.h"
#include "optimise/pole_pole.h"
#include "optimise/run.h"
#include "platform/sys/page_array.h"
#include "platform/sys/sys.h"
#include "platform/sys/thread_pool.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

using sys::PageArray;

namespace opt {

namespace {

int bar(double fraction) {
    return round_to_int(float(fraction * Statuswind.bar_width));
}

// The failures of the inversion stage: the status-line text when there is one, then the box.
int inversion_error(int code, const char* status_text, float damping) {
    if (status_text) update_status(status_text, 0);
    char text[128];
    std::snprintf(text, sizeof text, "Inversion error %d.\nDamping factor %.4f", code,
                  double(damping));
    model::show_message(text, "Message");
    return code;
}

// Writes the packed inverse; 0, or the code of the failure after its texts.
int write_inverse(const char* path, const double* c, long long size, float damping) {
    char text[1024];
    sys::AtomicFile out(path, sys::AtomicFile::Durability::unsynced);
    if (!out.opened()) {
        std::snprintf(text, sizeof text, "Error in creating Hessian matrix file %s.", path);
        return inversion_error(resolution_cannot_open, text, damping);
    }
    long long written = 0;
    for (long long offset = 0; offset < size; offset += double_block_values) {
        const long long count = std::min<long long>(double_block_values, size - offset);
        if (!out.write(c + offset, std::size_t(count) * sizeof(double))) break;
        written += count;
    }
    if (written < size || !out.commit()) {
        std::snprintf(text, sizeof text, "Error in saving Hessian matrix file %s. %lld/%lld", path,
                      written, size);
        return inversion_error(resolution_short, text, damping);
    }
    return resolution_ok;
}

int from_builder(int result) {
    switch (result) {
    case matrix_file_ok:
        return resolution_ok;
    case matrix_file_short_read:
        return resolution_short;
    case matrix_file_cannot_open:
        return resolution_cannot_open;
    case matrix_file_no_memory:
        return resolution_no_memory;
    case matrix_file_stopped:
        return resolution_stopped;
    default:
        return resolution_write_error;
    }
}

// Arrays a thread takes at a time in the loops over a set.
constexpr int jacobian_piece = 8192;

void no_memory() {
    model::show_message("Insufficient memory for the array optimisation.", "Message");
}

} // namespace

float array_factor(const Grid& grid, const std::int32_t* e) {
    const auto term = [&](int a, int b) {
        return a == b ? 0.0f : 1.0f / std::abs(grid.position(a) - grid.position(b));
    };
    const float g = term(e[0], e[2]) - term(e[1], e[2]) - term(e[0], e[3]) + term(e[1], e[3]);
    return 6.283185f / g;
}

void array_sensitivities(const Grid& grid, const float* table, const std::int32_t* e, float* out) {
    const float factor = array_factor(grid, e);
    for (int b = 1; b <= grid.nblocks; ++b)
        out[b - 1] = factor * pole_combination(grid, table, e, b);
}

int write_jacobian_file(const Grid& grid, const float* table, const std::int32_t* arrays, int count,
                        const char* path) {
    PageArray<float> factor{std::size_t(count)}, column{std::size_t(count)};
    if (!factor.ok() || !column.ok()) {
        no_memory();
        return resolution_no_memory;
    }
    const int pieces = (count + jacobian_piece - 1) / jacobian_piece, workers = sys::pool_threads();
    sys::run_in_parallel(pieces, workers, [&](int, int piece) {
        for (int k = piece * jacobian_piece; k < std::min(count, (piece + 1) * jacobian_piece); ++k)
            factor[std::size_t(k)] = array_factor(grid, arrays + 4 * std::size_t(k));
    });
    sys::AtomicFile out(path, sys::AtomicFile::Durability::unsynced);
    bool ok = out.opened();
    for (int b = 1; b <= grid.nblocks && ok; ++b) {
        char text[64];
        std::snprintf(text, sizeof text, "Jacobian model blocks %.1f%%",
                      100.0 * (b - 1) / grid.nblocks);
        update_status(text, bar(double(b - 1) / grid.nblocks));
        if (user_aborted()) return resolution_stopped;
        sys::run_in_parallel(pieces, workers, [&](int, int piece) {
            const int end = std::min(count, (piece + 1) * jacobian_piece);
            for (int k = piece * jacobian_piece; k < end; ++k)
                column[std::size_t(k)] =
                    factor[std::size_t(k)] *
                    pole_combination(grid, table, arrays + 4 * std::size_t(k), b);
        });
        ok = out.write(column.get(), sizeof(float) * std::size_t(count));
    }
    if (ok && out.commit()) return resolution_ok;
    char text[1024];
    std::snprintf(text, sizeof text, "Error in saving Jacobian matrix file %s.", path);
    beep();
    update_status(text, 0);
    return resolution_cannot_open;
}

int resolution_from_row_file(const char* row_path, const char* inverse_path, int nblocks,
                             float damping, double* h, double* c, float* r) {
    const std::size_t size = mx::packed_size(nblocks);
    PageArray<double> hessian{size}, a{size};
    PageArray<float> values{std::size_t(nblocks)};
    if (!hessian.ok() || !a.ok() || !values.ok()) {
        no_memory();
        return resolution_no_memory;
    }
    const int read = read_hessian_file(row_path, hessian.get(), nblocks);
    if (read == matrix_file_cannot_open) return resolution_cannot_open;
    if (read != matrix_file_ok) return resolution_short;
    update_status("Calculating resolution matrix.", 0);
    std::memcpy(a.get(), hessian.get(), size * sizeof(double));
    add_damping_to_packed_diagonal(nblocks, damping, a.get());
    const int inverted = invert_packed_symmetric(nblocks, a.get());
    if (inverted == packed_no_memory) {
        no_memory();
        return resolution_no_memory;
    }
    // A pivot that is not positive leaves a half-inverted matrix: nothing of it may be used.
    if (inverted != 0) return inversion_error(resolution_not_positive, nullptr, damping);
    const int written = write_inverse(inverse_path, a.get(), (long long)size, damping);
    if (written != resolution_ok) return written;
    packed_product_diagonal_rowwise(values.get(), a.get(), hessian.get(), nblocks);
    std::memcpy(h, hessian.get(), size * sizeof(double));
    std::memcpy(c, a.get(), size * sizeof(double));
    std::memcpy(r, values.get(), std::size_t(nblocks) * sizeof(float));
    return resolution_ok;
}

int set_resolution(Run& run, const std::int32_t* arrays, int count) {
    const ModelResolution& s = run.settings;
    const int n = run.nblocks();
    update_status("Calculating Jacobian.", 0);
    int result = write_jacobian_file(run.grid, run.table.get(), arrays, count, s.work_files[3]);
    if (result != resolution_ok) return result;
    update_status("Creating matrices.", 0);
    result = from_builder(create_hessian_from_jacobian(s.work_files[3], n, count, s.work_files[5],
                                                       false, user_aborted));
    if (result != resolution_ok) return result;
    update_status("Converting to matrix format.", 0);
    result = from_builder(update_hessian_file(s.work_files[5], s.work_files[6], n));
    if (result != resolution_ok) return result;
    result = resolution_from_row_file(s.work_files[6], s.work_files[7], n, s.opt_damping,
                                      run.hessian.get(), run.inverse.get(), run.resolution.get());
    if (result != resolution_ok) return result;
    run.figure = set_figure(run);
    if (!model::ResultValues()
             .add(run.resolution.get(), std::size_t(n))
             .add(run.figure)
             .writable("model resolution values"))
        return resolution_not_finite;
    return resolution_ok;
}

int chosen_set_resolution(Run& run) {
    return set_resolution(run, run.chosen.data(), run.nchosen());
}

double set_figure(const Run& run) {
    const int n = run.nblocks();
    if (run.iteration <= 0) {
        float sum = 0.0f;
        for (int b = 0; b < n; ++b)
            sum += run.resolution[b];
        return double(sum) / n;
    }
    double sum = 0.0;
    for (int b = 0; b < n; ++b)
        sum += double(run.resolution[b]) / run.comprehensive_resolution[b];
    return sum / n;
}

} // namespace opt
