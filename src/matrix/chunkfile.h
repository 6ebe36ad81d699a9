// Binary work files: arrays of 4-byte values moved in chunks of 0x20000 values, and the
// sparse-structure file that hands an ordering and its symbolic factorisation to a solver.
//
// Sparse-structure file (little-endian int32, no padding): n, m, then new-to-old q (n),
// old-to-new p (n), the factor's column pointers (n + 1), its subscript pointers (n + 1) and
// the m compressed subscripts; 4·(4n + 4 + m) bytes in all.
#pragma once

#include <cstdio>
#include <string>

/// Values moved by one stream call.
constexpr int array_chunk_values = 0x20000;

/// Reads n 4-byte values into buffer, chunk by chunk. Returns the number read (less than n on
/// a short read); n <= 0 returns 0 without touching the stream. The counts are 64-bit: the
/// node potentials of a long line pass the range of an int.
long long read_array_chunked(std::FILE* stream, void* buffer, long long n);

/// Writes n 4-byte values chunk by chunk and flushes the stream. Returns the number written;
/// n <= 0 returns 0 without touching (or flushing) the stream.
long long write_array_chunked(std::FILE* stream, const void* buffer, long long n);

/// Reads the file at path whole into buffer when it holds exactly `bytes` bytes; false when it
/// cannot be opened or holds fewer or more.
bool read_file_exactly(const std::string& path, void* buffer, std::size_t bytes);

/// Result codes of the structure-file routines.
enum StructureFileResult {
    structure_file_ok = 0,
    structure_file_cannot_open = 1,    ///< the file cannot be created or opened
    structure_file_short_transfer = 2, ///< fewer values written or read than the layout holds
    structure_file_wrong_header = 3,   ///< n differs from the caller's, or m exceeds its capacity
    structure_file_wrong_size = 4,     ///< the file's length does not match its header
    structure_file_bad_contents = 5    ///< the permutations or the structure are inconsistent
};

/// Writes the sparse-structure file at path (mode "wb"). Returns structure_file_ok or the
/// failure code; a failed write may leave a partial file, which the reader refuses.
int write_arrays_file(int n, const int* q, const int* p, const int* col_ptr, const int* sub_ptr,
                      const int* subscripts, int m, const std::string& path);

/// Reads the sparse-structure file at path into the caller's arrays. mode 1 reads everything
/// (q, p: n each; col_ptr, sub_ptr: n + 1 each; subscripts: up to m, the capacity the caller
/// allocated); any other mode reads only q and p and leaves the other arrays untouched.
/// Before anything is stored the header is checked (its n must equal n, its subscript count
/// must fit m) and the file's length against it; after the read the permutations (and in mode
/// 1 the structure) are validated, so a stale or foreign file is refused rather than trusted.
/// Returns structure_file_ok or the failure code; after a failure the arrays must not be used.
int read_arrays_file(int mode, int n, int* q, int* p, int* col_ptr, int* sub_ptr, int* subscripts,
                     int m, const std::string& path);
