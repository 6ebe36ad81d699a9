// Chunked transfers, the sparse-structure file, and the finite-element ordering set-up that
// writes it (including grids too small for the SPOOLES ordering).
#include "matrix/chunkfile.h"
#include "matrix/gridorder.h"
#include "matrix/ordering.h"

#include "model/globals.h"
#include "platform/sys/sys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

namespace {

// A temporary folder, the global records with the trace log on (written into the folder), and
// a check that every page of work memory came back.
class WorkFolder : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/vd_matrix_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = std::string(pattern) + "/";
        ASSERT_EQ(init_globals(), 0);
        std::snprintf(Printtrace.file_name, sizeof Printtrace.file_name, "%skwoptrace.txt",
                      dir.c_str());
        Printtrace.active = 1;
        in_use = sys::page_bytes_in_use();
    }
    void TearDown() override {
        sys::set_page_budget(-1);
        EXPECT_EQ(sys::page_bytes_in_use(), in_use) << "page memory left behind";
        model::exit_globals();
        std::string command = "rm -rf '" + dir + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
    std::string traced() const {
        std::vector<char> text;
        sys::read_whole_file(dir + "kwoptrace.txt", text);
        return std::string(text.begin(), text.end());
    }
    void clear_trace() const { sys::delete_file(dir + "kwoptrace.txt"); }
    std::string dir;
    long long in_use = 0;
};

using ChunkedTransfer = WorkFolder;

TEST_F(ChunkedTransfer, WholeChunksAndRestRoundTrip) {
    for (int n : {0x20000, 0x20001, 5, 0x40000 + 3}) {
        SCOPED_TRACE(testing::Message() << "n " << n);
        std::vector<int> out(n), in(n, -1);
        std::iota(out.begin(), out.end(), 7);
        std::string path = dir + "chunks.bin";
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(write_array_chunked(file, out.data(), n), n);
        // Flushed by the writer: the whole array is on disk before the stream is closed.
        EXPECT_EQ(sys::file_size(path), 4LL * n);
        std::fclose(file);
        file = std::fopen(path.c_str(), "rb");
        EXPECT_EQ(read_array_chunked(file, in.data(), n), n);
        // A read past the end reports the short count.
        EXPECT_EQ(read_array_chunked(file, in.data(), 3), 0);
        std::fclose(file);
        EXPECT_EQ(in, out);
    }
}

TEST_F(ChunkedTransfer, NothingToTransferLeavesTheStreamAlone) {
    std::string path = dir + "empty.bin";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    int value = 1;
    EXPECT_EQ(write_array_chunked(file, &value, 0), 0);
    EXPECT_EQ(write_array_chunked(file, &value, -4), 0);
    EXPECT_EQ(std::ftell(file), 0);
    std::fclose(file);
    file = std::fopen(path.c_str(), "rb");
    EXPECT_EQ(read_array_chunked(file, &value, 0), 0);
    EXPECT_EQ(value, 1);
    std::fclose(file);
}

// A consistent little structure: n = 3, m = 5 (subscripts of two columns, unshared).
struct SmallStructure {
    int n = 3, m = 5;
    std::vector<int> q = {2, 3, 1}, p = {3, 1, 2};
    std::vector<int> col_ptr = {1, 3, 4, 4}, sub_ptr = {1, 3, 5, 5};
    std::vector<int> subscripts = {2, 3, 3, 0, 0};
};

using StructureFile = WorkFolder;

TEST_F(StructureFile, RoundTripsWithItsDocumentedSize) {
    SmallStructure s;
    std::string path = dir + "nodesfile.xxx";
    ASSERT_EQ(write_arrays_file(s.n, s.q.data(), s.p.data(), s.col_ptr.data(), s.sub_ptr.data(),
                                s.subscripts.data(), s.m, path),
              structure_file_ok);
    EXPECT_EQ(sys::file_size(path), 84);

    std::vector<int> q(3), p(3), col_ptr(4, -7), sub_ptr(4, -7), subscripts(5, -7);
    ASSERT_EQ(read_arrays_file(1, 3, q.data(), p.data(), col_ptr.data(), sub_ptr.data(),
                               subscripts.data(), 5, path),
              structure_file_ok);
    EXPECT_EQ(q, s.q);
    EXPECT_EQ(p, s.p);
    EXPECT_EQ(col_ptr, s.col_ptr);
    EXPECT_EQ(sub_ptr, s.sub_ptr);
    EXPECT_EQ(subscripts, s.subscripts);

    // Mode 0 reads the permutations alone.
    std::vector<int> untouched(5, -7);
    ASSERT_EQ(read_arrays_file(0, 3, q.data(), p.data(), untouched.data(), untouched.data(),
                               untouched.data(), 0, path),
              structure_file_ok);
    EXPECT_EQ(untouched, std::vector<int>(5, -7));
}

TEST_F(StructureFile, StaleOrForeignFilesAreRefused) {
    SmallStructure s;
    std::string path = dir + "nodesfile.xxx";
    auto write = [&](const SmallStructure& w) {
        return write_arrays_file(w.n, w.q.data(), w.p.data(), w.col_ptr.data(), w.sub_ptr.data(),
                                 w.subscripts.data(), w.m, path);
    };
    auto read = [&](int mode, int n, int m) {
        std::vector<int> q(8, -7), p(8, -7), ptr(9, -7), ptr2(9, -7), sub(8, -7);
        int rc = read_arrays_file(mode, n, q.data(), p.data(), ptr.data(), ptr2.data(), sub.data(),
                                  m, path);
        // A header or size that does not fit is refused before anything is stored.
        if (rc != structure_file_ok && rc != structure_file_bad_contents) {
            EXPECT_EQ(q, std::vector<int>(8, -7)) << "stored " << rc;
        }
        return rc;
    };
    EXPECT_EQ(read(1, 3, 5), structure_file_cannot_open);

    ASSERT_EQ(write(s), structure_file_ok);
    EXPECT_EQ(read(1, 4, 5), structure_file_wrong_header); // another grid
    EXPECT_EQ(read(1, 3, 4), structure_file_wrong_header); // more subscripts than room
    EXPECT_EQ(read(1, 3, 8), structure_file_ok);           // room to spare is fine

    // A file cut short, and one with bytes past its layout.
    std::string bytes;
    {
        std::vector<char> whole;
        ASSERT_TRUE(sys::read_whole_file(path, whole));
        bytes.assign(whole.begin(), whole.end());
    }
    for (std::string variant : {bytes.substr(0, bytes.size() - 4), bytes + "abcd"}) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(variant.data(), 1, variant.size(), file);
        std::fclose(file);
        EXPECT_EQ(read(1, 3, 5), structure_file_wrong_size);
        EXPECT_EQ(read(0, 3, 0), structure_file_wrong_size);
    }

    // Right sizes, wrong contents.
    SmallStructure not_a_permutation = s;
    not_a_permutation.q = {2, 2, 1};
    ASSERT_EQ(write(not_a_permutation), structure_file_ok);
    EXPECT_EQ(read(1, 3, 5), structure_file_bad_contents);
    EXPECT_EQ(read(0, 3, 0), structure_file_bad_contents);
    SmallStructure subscript_out_of_range = s;
    subscript_out_of_range.subscripts[1] = 9;
    ASSERT_EQ(write(subscript_out_of_range), structure_file_ok);
    EXPECT_EQ(read(1, 3, 5), structure_file_bad_contents);

    EXPECT_EQ(write_arrays_file(s.n, s.q.data(), s.p.data(), s.col_ptr.data(), s.sub_ptr.data(),
                                s.subscripts.data(), s.m, dir + "missing/nodesfile.xxx"),
              structure_file_cannot_open);
}

using FemOrder = WorkFolder;

// Reads back what a set-up wrote and checks it as a solver would.
void expect_readable_structure(const std::string& path, int n, int m) {
    std::vector<int> q(n + 1), p(n + 1), xlnz(n + 1), xnzsub(n + 1), nzsub(m + 1);
    ASSERT_EQ(read_arrays_file(1, n, q.data(), p.data(), xlnz.data(), xnzsub.data(), nzsub.data(),
                               m, path),
              structure_file_ok);
    for (int i = 1; i <= n; ++i)
        ASSERT_EQ(q[p[i - 1] - 1], i);
}

TEST_F(FemOrder, WritesTheStructureOfA200By20Grid) {
    std::string path = dir + "nodesfile.xxx";
    int out = -1;
    int maxlnz = fem_order_setup(200, 20, path, &out);
    const int n = 200 * 20;
    ASSERT_GT(maxlnz, 0);
    ASSERT_GT(out, 0);
    EXPECT_EQ(sys::file_size(path), 4LL * (4 * n + 4 + out));
    expect_readable_structure(path, n, out);
    // Domain counts 5 and 45 fit this grid as they are: SPOOLES orders it unchanged.
    EXPECT_EQ(traced().find("changed"), std::string::npos) << traced();
    EXPECT_EQ(traced().find("library's nested dissection"), std::string::npos) << traced();
}

TEST_F(FemOrder, SmallAndNarrowGridsDoNotEndTheProcess) {
    struct Case {
        int ncol, nrow;
        const char* expected_trace; // what the trace says about the ordering
    };
    const Case cases[] = {
        {2, 2, "library's nested dissection"}, // too few columns for two domains
        {1, 1, "library's nested dissection"},
        {50, 3, "changed to 2 25"}, // three rows: p1 = 4 and p2 = 62 do not fit
        {5, 3, "changed to 2 2"},
        {4, 4, "changed to 2 2"},
        {3, 50, nullptr}, // three columns of 50 rows: p1 = 5 and p2 = 2 fit as they are
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ncol << " x " << c.nrow);
        clear_trace();
        std::string path = dir + "nodesfile.xxx";
        int out = -1;
        int maxlnz = fem_order_setup(c.ncol, c.nrow, path, &out);
        const int n = c.ncol * c.nrow;
        EXPECT_GE(maxlnz, 0);
        EXPECT_GE(out, 0);
        EXPECT_EQ(sys::file_size(path), 4LL * (4 * n + 4 + out));
        expect_readable_structure(path, n, out);
        if (c.expected_trace)
            EXPECT_NE(traced().find(c.expected_trace), std::string::npos) << traced();
        else
            EXPECT_EQ(traced().find("nd_order_2d"), std::string::npos) << traced();
    }
}

TEST_F(FemOrder, GridOrderingsAreZeroBasedPermutations) {
    struct Case {
        int n1, n2, p1, p2, result;
    };
    const Case cases[] = {{2, 2, 4, 2, grid_order_fallback}, {3, 50, 4, 62, grid_order_spooles},
                          {50, 3, 4, 2, grid_order_spooles}, {1, 9, 4, 4, grid_order_spooles},
                          {9, 1, 4, 4, grid_order_fallback}, {20, 200, 5, 45, grid_order_spooles},
                          {4, 4, -3, 0, grid_order_spooles}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.n1 << " x " << c.n2);
        std::vector<int> order(c.n1 * c.n2, -1);
        EXPECT_EQ(nd_order_2d(order.data(), c.n1, c.n2, c.p1, c.p2), c.result);
        std::vector<int> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        for (int i = 0; i < c.n1 * c.n2; ++i)
            ASSERT_EQ(sorted[i], i);
    }
    EXPECT_EQ(nd_order_2d(nullptr, 3, 3, 1, 2), grid_order_failed);
    int one = -1;
    EXPECT_EQ(nd_order_2d(&one, 0, 3, 1, 2), grid_order_failed);

    const int grids3[][3] = {{2, 2, 2}, {5, 4, 6}, {1, 1, 1}, {9, 9, 3}};
    for (const auto& g : grids3) {
        std::vector<int> order(g[0] * g[1] * g[2], -1);
        EXPECT_NE(nd_order_3d(order.data(), g[0], g[1], g[2], 4, 4, 4), grid_order_failed);
        std::sort(order.begin(), order.end());
        for (int i = 0; i < int(order.size()); ++i)
            ASSERT_EQ(order[i], i);
    }
}

TEST_F(FemOrder, FailuresWriteNothingAndReleaseTheirMemory) {
    std::string path = dir + "nodesfile.xxx";
    int out = -1;
    // No memory at all.
    sys::set_page_budget(sys::page_bytes_in_use());
    EXPECT_EQ(fem_order_setup(30, 10, path, &out), 0);
    EXPECT_EQ(out, 0);
    // Memory for the ordering but not for the structure.
    sys::set_page_budget(sys::page_bytes_in_use() + 4 * 301 * 4);
    EXPECT_EQ(fem_order_setup(30, 10, path, &out), 0);
    sys::set_page_budget(-1);
    EXPECT_FALSE(sys::file_exists(path));
    // A folder that does not exist: the structure cannot be written.
    out = -1;
    EXPECT_EQ(fem_order_setup(30, 10, dir + "missing/nodesfile.xxx", &out), 0);
    EXPECT_EQ(out, 0);
    EXPECT_EQ(fem_order_setup(0, 10, path, &out), 0);
}

TEST_F(FemOrder, StoredStructuresOfBothGraphTypesReadBack) {
    for (int graph_type : {1, 0}) {
        for (auto grid : {std::make_pair(40, 12), std::make_pair(12, 40)}) {
            SCOPED_TRACE(testing::Message() << "type " << graph_type << " grid " << grid.first
                                            << " x " << grid.second);
            std::string path = dir + "structure.bin";
            int out = -1;
            int maxlnz =
                store_sparse_structure_file(graph_type, grid.first, grid.second, path, &out);
            ASSERT_GT(maxlnz, 0);
            expect_readable_structure(path, grid.first * grid.second, out);
        }
    }
}

} // namespace
