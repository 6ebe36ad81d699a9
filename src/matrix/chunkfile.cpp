// Chunked array transfers and the sparse-structure file.
#include "matrix/chunkfile.h"

#include "matrix/ordering.h"
#include "platform/sys/sys.h"

#include <cstdint>

namespace {

constexpr std::size_t value_bytes = 4;

using sys::File;

// Calls transfer(offset, count) for each chunk of n values and sums what it returns; a chunk
// moved short ends the transfer.
template <class Transfer> long long chunked(long long n, Transfer transfer) {
    if (n <= 0) return 0;
    long long done = 0;
    for (long long offset = 0; offset < n; offset += array_chunk_values) {
        const std::size_t count =
            std::size_t(n - offset < array_chunk_values ? n - offset : array_chunk_values);
        const std::size_t moved = transfer(offset, count);
        done += (long long)moved;
        if (moved < count) break;
    }
    return done;
}

} // namespace

bool read_file_exactly(const std::string& path, void* buffer, std::size_t bytes) {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) return false;
    return std::fread(buffer, 1, bytes, file.get()) == bytes && std::fgetc(file.get()) == EOF;
}

long long read_array_chunked(std::FILE* stream, void* buffer, long long n) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    return chunked(n, [&](long long offset, std::size_t count) {
        return std::fread(bytes + std::size_t(offset) * value_bytes, value_bytes, count, stream);
    });
}

long long write_array_chunked(std::FILE* stream, const void* buffer, long long n) {
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    const long long done = chunked(n, [&](long long offset, std::size_t count) {
        return std::fwrite(bytes + std::size_t(offset) * value_bytes, value_bytes, count, stream);
    });
    if (n > 0) std::fflush(stream);
    return done;
}

int write_arrays_file(int n, const int* q, const int* p, const int* col_ptr, const int* sub_ptr,
                      const int* subscripts, int m, const std::string& path) {
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) return structure_file_cannot_open;
    const std::int32_t header[2] = {n, m};
    bool complete = write_array_chunked(file.get(), header, 2) == 2 &&
                    write_array_chunked(file.get(), q, n) == n &&
                    write_array_chunked(file.get(), p, n) == n &&
                    write_array_chunked(file.get(), col_ptr, n + 1) == n + 1 &&
                    write_array_chunked(file.get(), sub_ptr, n + 1) == n + 1 &&
                    write_array_chunked(file.get(), subscripts, m) == m;
    if (std::fclose(file.release()) != 0) complete = false;
    return complete ? structure_file_ok : structure_file_short_transfer;
}

int read_arrays_file(int mode, int n, int* q, int* p, int* col_ptr, int* sub_ptr, int* subscripts,
                     int m, const std::string& path) {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) return structure_file_cannot_open;
    std::int32_t header[2] = {0, 0};
    if (read_array_chunked(file.get(), header, 2) != 2) return structure_file_short_transfer;
    const int file_n = header[0], file_m = header[1];
    const bool all = mode == 1;
    if (file_n != n || n < 0 || file_m < 0 || (all && file_m > m))
        return structure_file_wrong_header;
    const long long expected = 4LL * (4LL * n + 4 + file_m);
    if (std::fseek(file.get(), 0, SEEK_END) != 0 || std::ftell(file.get()) != expected)
        return structure_file_wrong_size;
    std::fseek(file.get(), 2 * long(value_bytes), SEEK_SET);

    if (read_array_chunked(file.get(), q, n) != n || read_array_chunked(file.get(), p, n) != n)
        return structure_file_short_transfer;
    if (all && (read_array_chunked(file.get(), col_ptr, n + 1) != n + 1 ||
                read_array_chunked(file.get(), sub_ptr, n + 1) != n + 1 ||
                read_array_chunked(file.get(), subscripts, file_m) != file_m))
        return structure_file_short_transfer;
    const bool sound =
        all ? mx::check_compressed_structure(n, q, p, col_ptr, sub_ptr, subscripts, file_m)
            : mx::check_permutation(n, q, p);
    return sound ? structure_file_ok : structure_file_bad_contents;
}
