// The block-code row readers on small texts: code characters, limits, the filling of the cells
// left and right of the blocks, and the rows that are too short or run into the end of the text.
#include "reader_fixture.h"

#include "model/utilities.h"

using namespace reader_test;

namespace {

struct Rows {
    std::vector<std::int32_t> codes;
    int result = -1;
    std::int32_t cursor = 0;
    std::vector<Box> boxes;
};

Rows read_rows(const std::string& text, int nrows, int store, int first, int ncodes, int ncolumns,
               int nvalues) {
    RecordingBackend backend;
    ui::install_backend(&backend);
    Rows out;
    out.codes.assign(std::size_t(ncolumns) * std::size_t(store), -1);
    out.result = read_block_code_rows(nrows, store, first, ncodes, ncolumns, out.codes.data(),
                                      nvalues, std::int32_t(text.size()), text.data(), out.cursor);
    ui::install_backend(nullptr);
    out.boxes = backend.boxes;
    return out;
}

} // namespace

TEST(BlockRows, CodeCharacters) {
    // "0A": 0 and 10, or 10 held to the last of 5 values; letters of either case alike;
    // blanks before a row are no part of it.
    struct Case {
        const char* row;
        int nvalues;
        std::vector<int> codes;
    };
    const Case cases[] = {
        {"0A", 11, {0, 10}},  {"0A", 5, {0, 4}}, {"zZ", 40, {35, 35}},
        {"Hh", 40, {17, 17}}, {"   7", 10, {7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        const int n = int(c.codes.size());
        const Rows out = read_rows(std::string(c.row) + "\n", 1, 1, 1, n, n, c.nvalues);
        ASSERT_EQ(out.result, 0);
        for (int k = 0; k < n; ++k)
            EXPECT_EQ(out.codes[k], c.codes[k]) << k;
    }
}

// A byte that is no code (a blank inside a row, a point, a bracket, a byte past 'z') refuses the
// row, naming its line and block: it was read as code 0 or as a letter's code, so that a row of
// depths or of codes apart by blanks gave a model the file did not describe.
TEST(BlockRows, BytesThatAreNoCodeRefuseTheRow) {
    struct Case {
        const char* row;
        const char* shown;
        int block;
    };
    const Case cases[] = {
        {"1 2", " ", 2}, {"H[", "[", 2}, {"9\xff", "?", 2}, {"{9", "{", 1}, {"0.5", ".", 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        const int n = int(std::string(c.row).size());
        const Rows out =
            read_rows(std::string(std::size_t(n), '1') + "\n" + c.row + "\n", 2, 2, 1, n, n, 40);
        EXPECT_EQ(out.result, 1);
        ASSERT_EQ(out.boxes.size(), 1u);
        EXPECT_EQ(out.boxes[0].text, "Error in line 2.\nBlock " + std::to_string(c.block) +
                                         " of this model row is given as \"" + c.shown +
                                         "\",\nwhich is no block code. The codes are the\n"
                                         "digits 0 to 9 and the letters A to Z.");
        EXPECT_EQ(out.boxes[0].caption, "Error Message");
    }
}

// First column 21, 8 codes, 198 cell columns: 1-20 the first code, 21-28 the codes, 29-198 the
// last code (the last column too).
TEST(BlockRows, CellsLeftAndRightTakeTheEdgeCodes) {
    const Rows out = read_rows("31234567\n", 1, 1, 21, 8, 198, 10);
    ASSERT_EQ(out.result, 0);
    for (int c = 1; c <= 20; ++c)
        EXPECT_EQ(out.codes[index2d(c, 1, 198)], 3) << c;
    for (int c = 21; c <= 28; ++c)
        EXPECT_EQ(out.codes[index2d(c, 1, 198)], (c == 21) ? 3 : c - 21) << c;
    for (int c = 29; c <= 198; ++c)
        EXPECT_EQ(out.codes[index2d(c, 1, 198)], 7) << c;
}

TEST(BlockRows, RowsAfterTheStoredOnesAreReadAndDropped) {
    const Rows out = read_rows("11\n22\n33\nx", 3, 2, 1, 2, 2, 10);
    ASSERT_EQ(out.result, 0);
    EXPECT_EQ(out.codes, (std::vector<std::int32_t>{1, 1, 2, 2}));
    EXPECT_EQ(out.cursor, 8); // on the line end of the third row
}

TEST(BlockRows, ShortRowsAndTheEndOfTheText) {
    Rows out = read_rows("123\n12\n123\n", 3, 3, 1, 3, 3, 10);
    EXPECT_EQ(out.result, 1);
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(out.boxes[0].text, "Error in model line 2.\nThis model line has only 2 values\n"
                                 "whereas the earlier part of the file\nstates that there should "
                                 "be 3 values.");
    EXPECT_EQ(out.codes[0], 1); // the row before stays

    // The last row needs a byte after it.
    out = read_rows("123\n123", 2, 2, 1, 3, 3, 10);
    EXPECT_EQ(out.result, 1);
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(out.boxes[0].text, "Error in model line 2.\nThe end of the file was reached before\n"
                                 "all the model information was read in.");
    EXPECT_EQ(out.boxes[0].caption, "Error Message");
    EXPECT_TRUE(out.boxes[0].beeped);
}

TEST(BlockRows, CylinderRings) {
    RecordingBackend backend;
    ui::install_backend(&backend);
    std::vector<std::int32_t> codes(8, -1);
    std::string text = "0AgG\n519G\n";
    std::int32_t cursor = 0;
    EXPECT_EQ(read_cylinder_block_codes(2, 4, codes.data(), 12, std::int32_t(text.size()),
                                        text.data(), cursor),
              0);
    EXPECT_EQ(codes, (std::vector<std::int32_t>{0, 10, 11, 11, 5, 1, 9, 11}));

    text = "0AgG\n51\n";
    cursor = 0;
    EXPECT_EQ(read_cylinder_block_codes(2, 4, codes.data(), 12, std::int32_t(text.size()),
                                        text.data(), cursor),
              1);
    // Letters past G are no codes of a cylinder's rings (they were read as 0).
    text = "0AgH\n519G\n";
    cursor = 0;
    EXPECT_EQ(read_cylinder_block_codes(2, 4, codes.data(), 12, std::int32_t(text.size()),
                                        text.data(), cursor),
              1);
    ui::install_backend(nullptr);
    ASSERT_EQ(backend.boxes.size(), 2u);
    EXPECT_EQ(backend.boxes[0].text, "Error in model line 2");
    EXPECT_EQ(backend.boxes[1].text, "Error in line 1.\nBlock 4 of this model row is given as "
                                     "\"H\",\nwhich is no block code. The codes are the\n"
                                     "digits 0 to 9 and the letters A to G.");
}
