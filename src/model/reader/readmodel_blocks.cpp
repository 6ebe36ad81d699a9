// Rows of one-character block codes: the block-model and cylinder readers, the resistivity-code
// section of the model file, and the copying of rows into the grid rows added below.
#include "model/reader/readmodel.h"

#include "model/reader/readmodel_sections.h"
#include "model/services.h"
#include "model/utilities.h"
#include "platform/ui/ui.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// '0'-'9' 0-9, letters of either case 10-35; -1 for any other byte, which is no code.
int block_code_of(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    return -1;
}

// '0'-'9' 0-9, 'A'-'G' and 'a'-'g' 10-16; -1 for any other byte.
int cylinder_code_of(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'G') return c - 'A' + 10;
    if (c >= 'a' && c <= 'g') return c - 'a' + 10;
    return -1;
}

void show_row_error(const char* text) {
    ui::set_cursor(ui::Cursor::arrow);
    model::show_message(text, "Error Message");
}

// 1-based number of the text line that holds `offset`.
int line_of(const char* buffer, std::int32_t offset) {
    return 1 + int(std::count(buffer, buffer + offset, '\n'));
}

// The code of character k (1-based) of a row that ends at text offset `row_end`, held to the
// last of the nvalues values; or -1 after the message when the character is no code (a blank,
// a point, any sign), which would otherwise be read as code 0 (a row of depths or of blanks
// taken for codes) or as some letter's code. `letters` names the codes after the digits.
int checked_code(int code, unsigned char c, int k, int nvalues, const char* letters,
                 const char* buffer, std::int32_t row_end) {
    if (code >= 0) return std::max(0, std::min(code, nvalues - 1));
    char text[512];
    std::snprintf(text, sizeof text,
                  "Error in line %d.\nBlock %d of this model row is given as \"%c\",\nwhich is "
                  "no block code. The codes are the\ndigits 0 to 9 and the letters %s.",
                  line_of(buffer, row_end), k, c >= 32 && c < 127 ? char(c) : '?', letters);
    show_row_error(text);
    return -1;
}

} // namespace

int read_block_code_rows(int nrows, int nrows_store, int first_column, int ncodes, int ncolumns,
                         std::int32_t* codes, int nvalues, std::int32_t length, const char* buffer,
                         std::int32_t& cursor) {
    // Room for the codes of a row however many there are.
    std::vector<char> line(std::size_t(std::max(2400, ncodes + 1)));
    std::vector<int> row_codes(std::size_t(std::max(ncodes, 0)));
    char text[512];
    for (int r = 1; r <= nrows; ++r) {
        const int stored = read_buffer_line(buffer, line.data(), cursor, length,
                                            static_cast<std::int32_t>(line.size()));
        if (cursor >= length) {
            std::snprintf(text, sizeof text,
                          "Error in model line %d.\nThe end of the file was reached before\nall "
                          "the model information was read in.",
                          r);
            show_row_error(text);
            return 1;
        }
        if (stored < ncodes) {
            std::snprintf(text, sizeof text,
                          "Error in model line %d.\nThis model line has only %d values\nwhereas "
                          "the earlier part of the file\nstates that there should be %d values.",
                          r, stored, ncodes);
            show_row_error(text);
            return 1;
        }
        for (int k = 1; k <= ncodes; ++k) {
            const unsigned char c = static_cast<unsigned char>(line[k - 1]);
            row_codes[std::size_t(k - 1)] =
                checked_code(block_code_of(c), c, k, nvalues, "A to Z", buffer, cursor);
            if (row_codes[std::size_t(k - 1)] < 0) return 1;
        }
        if (r > nrows_store || ncolumns < 1 || ncodes < 1) continue;
        std::int32_t* row = codes + index2d(1, r, ncolumns);
        for (int k = 1; k <= ncodes; ++k) {
            const int column = std::max(1, std::min(first_column + k - 1, ncolumns));
            row[column - 1] = row_codes[std::size_t(k - 1)];
        }
        const int first_code = row[std::max(1, std::min(first_column, ncolumns)) - 1];
        const int last_code = row[std::max(1, std::min(first_column + ncodes - 1, ncolumns)) - 1];
        for (int c = 1; c < first_column && c <= ncolumns; ++c)
            row[c - 1] = first_code;
        // The fill runs to the last column too, so no cell keeps a code of an earlier model.
        for (int c = std::max(first_column + ncodes, 1); c <= ncolumns; ++c)
            row[c - 1] = last_code;
    }
    return 0;
}

int read_cylinder_block_codes(int nrows, int ncodes, std::int32_t* codes, int nvalues,
                              std::int32_t length, const char* buffer, std::int32_t& cursor) {
    std::vector<char> line(std::size_t(std::max(800, ncodes + 1)));
    char text[64];
    for (int r = 1; r <= nrows; ++r) {
        const int stored = read_buffer_line(buffer, line.data(), cursor, length,
                                            static_cast<std::int32_t>(line.size()));
        if (stored < ncodes || cursor >= length) {
            std::snprintf(text, sizeof text, "Error in model line %d", r);
            show_row_error(text);
            return 1;
        }
        for (int k = 1; k <= ncodes; ++k) {
            const unsigned char c = static_cast<unsigned char>(line[k - 1]);
            const int code =
                checked_code(cylinder_code_of(c), c, k, nvalues, "A to G", buffer, cursor);
            if (code < 0) return 1;
            codes[std::size_t(r - 1) * std::size_t(ncodes) + std::size_t(k - 1)] = code;
        }
    }
    return 0;
}

namespace model {

void copy_code_rows_down(std::int32_t* codes, int ncolumns, int first_new_row, int last_row) {
    for (int j = std::max(first_new_row, 2); j <= last_row; ++j)
        std::copy_n(codes + index2d(1, j - 1, ncolumns), ncolumns, codes + index2d(1, j, ncolumns));
}

void extend_code_rows(ModelSettings& m) {
    if (m.ngrid_lines <= m.ngrid_rows) return;
    copy_code_rows_down(m.resistivity_codes, m.nx_cells, m.ngrid_rows + 1, m.ngrid_lines);
    if (m.nip > 0) copy_code_rows_down(m.ip_codes, m.nx_cells, m.ngrid_rows + 1, m.ngrid_lines);
    if (m.ntau > 0) copy_code_rows_down(m.tau_codes, m.nx_cells, m.ngrid_rows + 1, m.ngrid_lines);
    if (m.ncip > 0) copy_code_rows_down(m.cexp_codes, m.nx_cells, m.ngrid_rows + 1, m.ngrid_lines);
}

void read_block_rows_section(ModelReader& r) {
    ModelSettings& m = r.model;
    int failed;
    if (m.cylinder_model) {
        failed = read_cylinder_block_codes(m.ne, m.le, m.resistivity_codes, m.nresis, r.length,
                                           r.text, r.cursor);
    } else {
        failed = read_block_code_rows(m.ngrid_rows, m.ndepth_values, m.model_col_start,
                                      m.blocks_per_row, m.nx_cells, m.resistivity_codes, m.nresis,
                                      r.length, r.text, r.cursor);
    }
    if (failed) r.stop(failed);
    // The extension is said once, by apply_grid_extension after the IP rows.
    if (!m.cylinder_model && m.ngrid_lines > m.ngrid_rows)
        copy_code_rows_down(m.resistivity_codes, m.nx_cells, m.ngrid_rows + 1, m.ngrid_lines);
}

} // namespace model
