// Jacobian and Hessian work files.
#include "matrix/matrixfile.h"

#include "matrix/dense.h"
#include "matrix/packed.h"
#include "model/globals.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/sys/page_array.h"
#include "platform/sys/sys.h"

#include <algorithm>
#include <cstring>
#include <string>

#include <sys/types.h>

using sys::PageArray;

namespace {

using sys::File;

template <class T> long long transfer_read(std::FILE* stream, T* buffer, long long n, int chunk) {
    long long done = 0;
    for (long long offset = 0; offset < n; offset += chunk) {
        const long long count = std::min<long long>(chunk, n - offset);
        const long long got = (long long)std::fread(buffer + offset, sizeof(T), count, stream);
        done += got;
        if (got < count) break;
    }
    return done;
}

void status_failure(const char* text) {
    beep();
    update_status(text, 0);
}

int open_failure(const char* kind, const char* path) {
    char message[1024];
    std::snprintf(message, sizeof message, "Error in opening %s matrix file %s.", kind, path);
    status_failure(message);
    return matrix_file_cannot_open;
}

// Reads count values of T from path, reporting a failure in the status line under `kind`.
template <class T>
int read_matrix(const char* path, T* buffer, long long count, const char* kind, int chunk) {
    File file(std::fopen(path, "rb"));
    if (!file) return open_failure(kind, path);
    char message[1024];
    const long long got = transfer_read(file.get(), buffer, count, chunk);
    if (got < count) {
        std::snprintf(message, sizeof message, "Error in reading %s matrix file %s. %lld/%lld",
                      kind, path, got, count);
        status_failure(message);
        return matrix_file_short_read;
    }
    return matrix_file_ok;
}

int write_failure(const char* path, long long written, long long expected) {
    char message[1024];
    std::snprintf(message, sizeof message, "Error in saving Hessian matrix file %s. %lld/%lld",
                  path, written, expected);
    status_failure(message);
    return matrix_file_write_error;
}

void no_memory_box() {
    model::show_message("Insufficient memory", "Message");
}

int bar(double fraction) {
    return round_to_int(float(fraction * Statuswind.bar_width));
}

double dot(const float* a, const float* b, long long m) {
    double sum = 0.0;
    for (long long d = 0; d < m; ++d)
        sum += double(a[d]) * double(b[d]);
    return sum;
}

// out[0..count) = row p against rows q0, q0 + 1, ... (stride m apart), four at a time; each sum
// runs over the data in order, so the values equal those of dot().
void dot_rows(const float* p, const float* q0, long long count, long long m, double* out) {
    long long k = 0;
    for (; k + 4 <= count; k += 4) {
        const float *a = q0 + k * m, *b = a + m, *c = b + m, *e = c + m;
        double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
        for (long long d = 0; d < m; ++d) {
            const double v = p[d];
            s0 += v * a[d];
            s1 += v * b[d];
            s2 += v * c[d];
            s3 += v * e[d];
        }
        out[k] = s0, out[k + 1] = s1, out[k + 2] = s2, out[k + 3] = s3;
    }
    for (; k < count; ++k)
        out[k] = dot(p, q0 + k * m, m);
}

// Writes n values of one Hessian row part, counting what went out.
bool put(sys::AtomicFile& out, const double* values, long long n, long long& written) {
    for (long long offset = 0; offset < n; offset += double_block_values) {
        const long long count = std::min<long long>(double_block_values, n - offset);
        if (!out.write(values + offset, std::size_t(count) * sizeof(double))) return false;
        written += count;
    }
    return true;
}

// A writer's output, created beside the target and renamed into place by commit(); see
// matrixfile.h for what a failure leaves.
struct Output {
    // Work files: only this run reads them.
    explicit Output(const char* target)
        : path(target), file(target, sys::AtomicFile::Durability::unsynced) {}
    ~Output() {
        if (!committed) sys::delete_file(path);
    }
    bool commit() { return committed = file.commit(); }
    std::string path;
    sys::AtomicFile file;
    bool committed = false;
};

// Progress of the blocked way.
void blocked_progress(bool quiet, long long done, long long n) {
    if (quiet) return;
    char text[128];
    std::snprintf(text, sizeof text, "Creating matrices %5.1f%%", 100.0 * double(done) / n);
    update_status(text, bar(double(done) / n));
}

// The Jacobian is read in blocks of `size` parameters; rows of H for a block are kept whole
// (size x n doubles) until every later parameter has been read once.
int hessian_in_blocks(const char* jacobian_path, long long n, long long m, const char* path,
                      bool quiet, long long size, PageArray<float>& block, PageArray<float>& later,
                      PageArray<double>& rows) {
    File in(std::fopen(jacobian_path, "rb"));
    if (!in) return open_failure("Jacobian", jacobian_path);
    Output out(path);
    const long long expected = (long long)mx::packed_size(long(n));
    if (!out.file.opened()) return write_failure(path, 0, expected);
    long long written = 0;
    auto short_read = [&](long long got, long long want) {
        char message[1024];
        std::snprintf(message, sizeof message,
                      "Error in reading Jacobian matrix file %s. %lld/%lld", jacobian_path, got,
                      want);
        status_failure(message);
        return int(matrix_file_short_read);
    };
    for (long long p0 = 0; p0 < n; p0 += size) {
        const long long count = std::min(size, n - p0);
        blocked_progress(quiet, p0, n);
        if (fseeko(in.get(), off_t(p0 * m) * off_t(sizeof(float)), SEEK_SET) != 0)
            return short_read(0, count * m);
        const long long got = read_float_block(in.get(), block.get(), count * m);
        if (got < count * m) return short_read(got, count * m);
        for (long long p = 0; p < count; ++p)
            dot_rows(block.get() + p * m, block.get() + p * m, count - p, m,
                     rows.get() + p * n + p0 + p);
        for (long long q = p0 + count; q < n; ++q) {
            const long long got_q = read_float_block(in.get(), later.get(), m);
            if (got_q < m) return short_read(got_q, m);
            for (long long p = 0; p < count; ++p)
                rows[p * n + q] = dot(block.get() + p * m, later.get(), m);
        }
        for (long long p = 0; p < count; ++p)
            if (!put(out.file, rows.get() + p * n + p0 + p, n - p0 - p, written))
                return write_failure(path, written, expected);
    }
    blocked_progress(quiet, n, n);
    if (!out.commit()) return write_failure(path, written, expected);
    return matrix_file_ok;
}

// ---- The Hessian from data chunks -----------------------------------------------------------

// Data read and summed at a time: all of them when the whole Jacobian takes at most 64 MiB.
long long data_per_chunk(long long n, long long m) {
    const long long most = std::max<long long>(256, ((16LL << 20) / n) / 256 * 256);
    return std::min(m, most);
}

long long smaller_chunk(long long chunk) {
    return std::max<long long>(256, chunk / 2 / 256 * 256);
}

// Sums `count` data of the chunk into H, in pieces with the progress shown between them; false
// when `stop` says so before a piece.
bool add_chunk(mx::GramMatrix& gram, const float* chunk, long long stride, long long count,
               long long done, long long m, bool quiet, bool (*stop)()) {
    const long long piece = 4096;
    for (long long d = 0; d < count; d += piece) {
        if (!quiet) {
            char text[128];
            const double fraction = double(done + d) / double(m);
            std::snprintf(text, sizeof text, "Creating Matrics %.1f%%", 100.0 * fraction);
            update_status(text, bar(fraction));
        }
        if (stop && stop()) return false;
        gram.add(chunk + d, std::size_t(stride), int(std::min(piece, count - d)));
    }
    return true;
}

// Reads data d0 .. d0 + count - 1 of every parameter into chunk (rows of count values).
bool read_chunk(std::FILE* in, long long n, long long m, long long d0, long long count,
                float* chunk, long long& read) {
    for (long long p = 0; p < n; ++p) {
        if (fseeko(in, off_t(p * m + d0) * off_t(sizeof(float)), SEEK_SET) != 0) return false;
        const long long got = read_float_block(in, chunk + p * count, count);
        read += got;
        if (got < count) return false;
    }
    return true;
}

// H of the Jacobian file into gram: the whole file at once when it fits one chunk, else chunk by
// chunk of data. Returns matrix_file_ok, matrix_file_stopped, or the reader's failure (after its
// status-line text).
int gram_from_file(const char* path, long long n, long long m, long long chunk, float* buffer,
                   mx::GramMatrix& gram, bool quiet, bool (*stop)()) {
    if (chunk == m) {
        if (!quiet) update_status("Reading Jacobian file..", 0);
        const int result = read_jacobian_file(path, buffer, m, n);
        if (result != matrix_file_ok) return result;
        return add_chunk(gram, buffer, m, m, 0, m, quiet, stop) ? matrix_file_ok
                                                                : matrix_file_stopped;
    }
    File in(std::fopen(path, "rb"));
    if (!in) return open_failure("Jacobian", path);
    const long long values = std::max(0LL, sys::file_size(path)) / (long long)sizeof(float);
    long long read = 0;
    for (long long d0 = 0; d0 < m && values >= n * m; d0 += chunk) {
        const long long count = std::min(chunk, m - d0);
        if (!read_chunk(in.get(), n, m, d0, count, buffer, read)) break;
        if (!add_chunk(gram, buffer, count, count, d0, m, quiet, stop)) return matrix_file_stopped;
        if (d0 + count == m) return matrix_file_ok;
    }
    char message[1024];
    std::snprintf(message, sizeof message, "Error in reading Jacobian matrix file %s. %lld/%lld",
                  path, values < n * m ? values : read, n * m);
    status_failure(message);
    return matrix_file_short_read;
}

int write_gram(const mx::GramMatrix& gram, long long n, const char* path) {
    const long long expected = (long long)mx::packed_size(long(n));
    Output out(path);
    if (!out.file.opened()) return write_failure(path, 0, expected);
    long long written = 0;
    for (long long p = 0; p < n; ++p)
        if (!put(out.file, gram.upper_row(int(p)), n - p, written))
            return write_failure(path, written, expected);
    if (!out.commit()) return write_failure(path, written, expected);
    return matrix_file_ok;
}

} // namespace

long long read_float_block(std::FILE* stream, float* buffer, long long n) {
    return n > 0 ? transfer_read(stream, buffer, n, float_block_values) : 0;
}

long long read_double_block(std::FILE* stream, double* buffer, long long n) {
    return n > 0 ? transfer_read(stream, buffer, n, double_block_values) : 0;
}

long long write_double_block(std::FILE* stream, const double* buffer, long long n) {
    if (n <= 0) return 0;
    long long done = 0;
    for (long long offset = 0; offset < n; offset += double_block_values) {
        const long long count = std::min<long long>(double_block_values, n - offset);
        const long long put =
            (long long)std::fwrite(buffer + offset, sizeof(double), count, stream);
        done += put;
        if (put < count) break;
    }
    std::fflush(stream);
    return done;
}

int read_jacobian_file(const char* path, float* buffer, long long m, long long n) {
    return read_matrix(path, buffer, m * n, "Jacobian", float_block_values);
}

int read_hessian_file(const char* path, double* buffer, long long n) {
    return read_matrix(path, buffer, (long long)mx::packed_size(long(n)), "Hessian",
                       double_block_values);
}

int update_hessian_file(const char* path_in, const char* path_out, long long n) {
    const long long size = (long long)mx::packed_size(long(n));
    PageArray<double> upper{std::size_t(size)}, row{std::size_t(n)};
    if (!upper.ok() || !row.ok()) {
        sys::delete_file(path_out);
        no_memory_box();
        return matrix_file_no_memory;
    }
    const int result = read_hessian_file(path_in, upper.get(), n);
    if (result != matrix_file_ok) {
        sys::delete_file(path_out);
        return result;
    }
    Output out(path_out);
    if (!out.file.opened()) return write_failure(path_out, 0, size);
    long long written = 0;
    for (long long i = 1; i <= n; ++i) {
        // (1, i) is at position i of the upper-by-rows storage; (r + 1, i) lies n - r further.
        long long position = i;
        for (long long r = 1; r <= i; ++r) {
            row[r - 1] = upper[position - 1];
            position += n - r;
        }
        if (!put(out.file, row.get(), i, written)) return write_failure(path_out, written, size);
    }
    if (!out.commit()) return write_failure(path_out, written, size);
    return matrix_file_ok;
}

long long hessian_build_bytes(long long n, long long m) {
    return mx::GramMatrix::bytes(int(n)) + 4 * n * data_per_chunk(n, m);
}

int create_hessian_from_jacobian(const char* jacobian_path, long long n, long long m,
                                 const char* hessian_path, bool quiet, bool (*stop)()) {
    if (n <= 0 || m < 0) return write_failure(hessian_path, 0, 0);
    {
        mx::GramMatrix gram{int(n)};
        // Chunks of half the data as long as a chunk is refused, down to 256 data.
        for (long long chunk = data_per_chunk(n, m); gram.ok(); chunk = smaller_chunk(chunk)) {
            PageArray<float> buffer{std::size_t(n * chunk)};
            if (buffer.ok()) {
                int result =
                    gram_from_file(jacobian_path, n, m, chunk, buffer.get(), gram, quiet, stop);
                if (result == matrix_file_ok) result = write_gram(gram, n, hessian_path);
                if (result != matrix_file_ok) sys::delete_file(hessian_path);
                return result;
            }
            if (chunk <= 256) break;
        }
    }
    if (!quiet) update_status("Checking memory", 0);
    static const int divisors[] = {2, 3, 4, 6, 8, 12, 16, 24};
    for (int divisor : divisors) {
        const long long size = n / divisor;
        if (size < 1) break;
        PageArray<float> block{std::size_t(size * m)}, later{std::size_t(m)};
        PageArray<double> rows{std::size_t(size * n)};
        if (!block.ok() || !later.ok() || !rows.ok()) continue;
        const int result =
            hessian_in_blocks(jacobian_path, n, m, hessian_path, quiet, size, block, later, rows);
        if (result != matrix_file_ok) sys::delete_file(hessian_path);
        return result;
    }
    sys::delete_file(hessian_path);
    no_memory_box();
    return matrix_file_no_memory;
}
