// Jacobian and Hessian work files of the model-resolution and array-optimisation computations:
// block transfers of floats and doubles, the file readers with their status-line messages, the
// builder of the Hessian file H = J^T J from the Jacobian file, and its reordering.
//
// Jacobian file: n x m little-endian float32 values without header, parameter by parameter
// (the m sensitivities of parameter 1, one per datum, then those of parameter 2, ...), so that
// row p of the file is column p of the Jacobian J.
// Hessian file: n(n+1)/2 float64 values without header, upper triangle by rows: H(1,1..n),
// H(2,2..n), ..., H(n,n), H(p,q) = sum over the data of J(d,p) J(d,q).
// Reordered Hessian file: the same matrix lower triangle by rows, the layout of matrix/packed.h.
//
// Every writer here saves through sys::AtomicFile (a temporary file renamed into place only when
// every value was written; work files, not synced to the disk); a failure also removes any older
// file of the target's name, so a later step can never read a partial or stale matrix.
#pragma once

#include <cstdio>

/// Values moved by one stream call of the block transfers.
constexpr int float_block_values = 0x20000;
constexpr int double_block_values = 0x10000;

/// Results of the matrix-file routines.
enum MatrixFileResult {
    matrix_file_ok = 0,
    matrix_file_short_read = 1,  ///< fewer values read than expected (status-line message)
    matrix_file_cannot_open = 2, ///< the input file cannot be opened (status-line message)
    matrix_file_no_memory = 3,   ///< work storage refused ("Insufficient memory" box)
    matrix_file_write_error = 4, ///< the output cannot be created or written (status line)
    matrix_file_stopped = 5      ///< the caller's stop test said so
};

/// Reads n floats (doubles) chunk by chunk; returns the number read. n <= 0 gives 0.
long long read_float_block(std::FILE* stream, float* buffer, long long n);
long long read_double_block(std::FILE* stream, double* buffer, long long n);
/// Writes n doubles chunk by chunk and flushes the stream; returns the number written.
long long write_double_block(std::FILE* stream, const double* buffer, long long n);

/// Reads m x n floats of the file at path into buffer. On failure beeps and shows "Error in
/// opening Jacobian matrix file %s." (result matrix_file_cannot_open) or "Error in reading
/// Jacobian matrix file %s. %d/%d" (read, expected; matrix_file_short_read) in the status line.
int read_jacobian_file(const char* path, float* buffer, long long m, long long n);

/// Reads the n(n+1)/2 doubles of a Hessian file; the messages are those of read_jacobian_file
/// with "Hessian" in place of "Jacobian".
int read_hessian_file(const char* path, double* buffer, long long n);

/// Reads the Hessian file path_in (upper by rows) and writes the same matrix lower by rows to
/// path_out. Returns the read result when the read fails (no file left at path_out), then
/// matrix_file_no_memory or matrix_file_write_error (beep and "Error in saving Hessian matrix
/// file %s. %d/%d" in the status line), else matrix_file_ok.
int update_hessian_file(const char* path_in, const char* path_out, long long n);

/// Builds the Hessian file of the m x n Jacobian file. H is summed in memory (mx::GramMatrix,
/// about 8 n^2 bytes) from the whole Jacobian when it takes at most 64 MiB ("Reading Jacobian
/// file.."), else from chunks of data of that size (half that, and so on down to 256 data, while
/// a chunk is refused) read from every parameter's row in turn; "Creating Matrics %.1f%%" shows
/// the share of the data summed. When H cannot be had, in blocks
/// of n/2, n/3, n/4, n/6, n/8, n/12, n/16 or n/24 parameters (the first size whose work arrays
/// are granted; "Checking memory", then "Creating matrices %5.1f%%"), reading the later
/// parameters from the file once per block. Every dot product accumulates in double in datum
/// order, so all ways give the same values bit for bit. Progress only unless quiet. Returns
/// matrix_file_ok; the result of read_jacobian_file (also for a file too short when read in
/// chunks or blocks, with the values it holds against those expected); matrix_file_no_memory
/// after the box "Insufficient memory" (caption "Message") when not even the smallest block
/// fits; or matrix_file_write_error. `stop`, when given, is asked between pieces of the data
/// summed in memory (a user's abort key, say); when it says yes the result is
/// matrix_file_stopped. After a failure no Hessian file is left at hessian_path.
int create_hessian_from_jacobian(const char* jacobian_path, long long n, long long m,
                                 const char* hessian_path, bool quiet = false,
                                 bool (*stop)() = nullptr);
/// The page memory create_hessian_from_jacobian takes for H and a chunk of data (n x m file).
long long hessian_build_bytes(long long n, long long m);
