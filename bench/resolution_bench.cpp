// Model-resolution benchmark: the Hessian file of a random Jacobian (500, 1,000 and 2,000
// blocks, twice as many data) built in memory, reordered, damped and inverted in packed form,
// with the resolution diagonal, on one thread and on eight. Prints the time of each step, the
// rates of the Hessian (n(n+1)/2 dot products of m terms, 2 flops a term) and of the inversion
// (n passes over n(n+1)/2 entries, 2 flops an entry), and the peak page memory.
#include "matrix/matrixfile.h"
#include "matrix/packed.h"
#include "platform/sys/page_array.h"

#include "platform/sys/sys.h"
#include "platform/sys/thread_pool.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void run(int blocks, int threads, const std::string& folder) {
    sys::set_pool_threads(threads);
    const int data = 2 * blocks;
    const std::string jac = folder + "/grfile.bin", hess = folder + "/hessmatrix.bin",
                      row = folder + "/hessmatrix_row.bin";
    {
        std::vector<float> j(std::size_t(blocks) * data);
        std::mt19937 rng(blocks);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        for (float& v : j)
            v = u(rng);
        std::FILE* f = std::fopen(jac.c_str(), "wb");
        if (!f || std::fwrite(j.data(), sizeof(float), j.size(), f) != j.size()) {
            std::printf("cannot write %s\n", jac.c_str());
            if (f) std::fclose(f);
            return;
        }
        std::fclose(f);
    }
    sys::reset_page_peak();
    auto start = std::chrono::steady_clock::now();
    const int built = create_hessian_from_jacobian(jac.c_str(), blocks, data, hess.c_str(), true);
    const double t_hessian = seconds_since(start);
    start = std::chrono::steady_clock::now();
    const int reordered = update_hessian_file(hess.c_str(), row.c_str(), blocks);
    const double t_reorder = seconds_since(start);

    const std::size_t size = mx::packed_size(blocks);
    sys::PageArray<double> h(size), inverse(size);
    sys::PageArray<float> resolution{std::size_t(blocks)};
    int inverted = -2;
    double t_invert = 0.0, t_diagonal = 0.0;
    if (built == 0 && reordered == 0 && h.ok() && inverse.ok() && resolution.ok() &&
        read_hessian_file(row.c_str(), h.get(), blocks) == 0) {
        for (std::size_t i = 0; i < size; ++i)
            inverse[i] = h[i];
        start = std::chrono::steady_clock::now();
        add_damping_to_packed_diagonal(blocks, 0.001f, inverse.get());
        inverted = invert_packed_symmetric(blocks, inverse.get());
        t_invert = seconds_since(start);
        start = std::chrono::steady_clock::now();
        packed_symmetric_product_diagonal(resolution.get(), inverse.get(), h.get(), blocks);
        t_diagonal = seconds_since(start);
    }
    const double entries = double(size), giga = 1e-9;
    std::printf("%5d blocks %5d data %d thr  Hessian %6.3f s %5.1f GFLOP/s  reorder %6.3f s"
                "  inversion %6.3f s %5.1f GFLOP/s  diagonal %6.3f s  peak %6.1f MiB"
                "  result %d/%d/%d\n",
                blocks, data, threads, t_hessian, 2.0 * entries * data * giga / t_hessian,
                t_reorder, t_invert, 2.0 * entries * blocks * giga / t_invert, t_diagonal,
                double(sys::page_bytes_peak()) / (1024.0 * 1024.0), built, reordered, inverted);
    std::fflush(stdout);
    for (const std::string& p : {jac, hess, row})
        sys::delete_file(p);
}

} // namespace

int main() {
    char pattern[] = "/tmp/vd_resbench_XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    for (int blocks : {500, 1000, 2000})
        for (int threads : {1, 8})
            run(blocks, threads, pattern);
    rmdir(pattern);
    return 0;
}
