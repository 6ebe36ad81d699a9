// The cylinder solvers on the solver threads: eight threads, and fewer workers when memory is
// short, give the tables of one thread bit for bit; the user's break stops a run on one thread
// or on eight and leaves the tables as they were.
#include "fixture.h"

#include "platform/sys/sys.h"

#include <gtest/gtest.h>

#include <vector>

namespace cyl_test {
namespace {

using Threads = Records;

// A ring whose conductivity changes from ring to ring and sector to sector, with imaginary
// parts, so that every wavenumber's values differ.
Ring layered_ring() {
    Ring ring(12, 2, test_radii(7), 10.0);
    for (int c = 0; c < ring.mesh.elements(); ++c) {
        ring.sigma[c] = 0.05f + 0.01f * float(c % 7) + 0.02f * float(c / ring.mesh.sectors);
        ring.sigma_im[c] = -0.002f * float(1 + c % 5);
    }
    return ring;
}

model::SolverResult solve(Ring& ring, bool complex) {
    return complex ? ring.solve_complex() : ring.solve();
}

TEST_F(Threads, EightThreadsAndShortMemoryGiveTheTablesOfOneThread) {
    for (bool complex : {false, true}) {
        SCOPED_TRACE(complex ? "complex" : "real");
        Ring one = layered_ring(), eight = layered_ring(), short_of_memory = layered_ring();
        sys::reset_page_peak();
        const long long before = sys::page_bytes_in_use();
        {
            const test_support::PoolThreads threads(1);
            ASSERT_TRUE(solve(one, complex).ok());
        }
        const long long one_worker = sys::page_bytes_peak() - before;
        const test_support::PoolThreads threads(8);
        ASSERT_TRUE(solve(eight, complex).ok());
        sys::set_page_budget(before + one_worker);
        const model::SolverResult short_run = solve(short_of_memory, complex);
        sys::set_page_budget(-1);
        ASSERT_TRUE(short_run.ok());
        EXPECT_EQ(eight.table, one.table);
        EXPECT_EQ(eight.table_im, one.table_im);
        EXPECT_EQ(short_of_memory.table, one.table);
        EXPECT_EQ(short_of_memory.table_im, one.table_im);
        EXPECT_TRUE(backend.boxes.empty());
    }
}

TEST_F(Threads, UserBreakStopsTheRunAndKeepsTheTables) {
    const test_support::HeldSteps held; // the break comes after the first wavenumber, not the last
    for (int threads : {1, 8})
        for (bool complex : {false, true}) {
            SCOPED_TRACE(testing::Message() << threads << (complex ? " complex" : " real"));
            Ring ring = layered_ring();
            ring.table.assign(ring.table.size(), -7.0);
            ring.table_im = ring.table;
            const std::vector<double> before = ring.table;
            const test_support::PoolThreads pool(threads);
            backend = test_support::RecordingBackend();
            backend.abort_at = 3;
            EXPECT_EQ(solve(ring, complex).status, model::SolverStatus::user_abort);
            EXPECT_EQ(ring.table, before);
            EXPECT_EQ(ring.table_im, before);
            EXPECT_TRUE(backend.boxes.empty());
        }
}

} // namespace
} // namespace cyl_test
