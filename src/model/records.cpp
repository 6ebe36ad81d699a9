// Construction and destruction of the global records other than ModelSettings.
#include "model/records.h"

#include "model/globals.h"
#include "model/owned_arrays.h"
#include "platform/sys/sys.h"

#include <cstring>

namespace {
constexpr std::uint32_t rgb(int r, int g, int b) {
    return std::uint32_t(r) | std::uint32_t(g) << 8 | std::uint32_t(b) << 16;
}
template <class T> void free_array(T*& p) {
    sys::page_free(p);
    p = nullptr;
}
} // namespace

// Entries 0..15: the colour scale from dark blue through blue, cyan, green and yellow to
// orange, red and purple; the rest are the fixed colours of the drawing routines.
const std::uint32_t default_colours[32] = {
    rgb(0, 0, 128),     rgb(0, 0, 170),   rgb(0, 0, 211),   rgb(0, 0, 255),     rgb(0, 128, 255),
    rgb(0, 255, 255),   rgb(0, 192, 128), rgb(0, 255, 0),   rgb(0, 128, 0),     rgb(128, 192, 0),
    rgb(255, 255, 0),   rgb(191, 128, 0), rgb(255, 128, 0), rgb(255, 0, 0),     rgb(211, 0, 0),
    rgb(132, 0, 64),    rgb(96, 0, 96),   rgb(255, 0, 255), rgb(255, 255, 255), rgb(0, 0, 0),
    rgb(0, 0, 0),       rgb(0, 0, 128),   rgb(0, 0, 192),   rgb(254, 254, 254), rgb(0, 0, 0),
    rgb(255, 255, 255), rgb(255, 0, 0),   rgb(0, 255, 0),   rgb(0, 0, 255),     rgb(255, 0, 255),
    rgb(255, 255, 0),   rgb(0, 255, 255)};

ProgDisplay::ProgDisplay() {
    std::memcpy(colour_table, default_colours, sizeof default_colours);
    std::memcpy(saved_colour_table, colour_table, 32 * sizeof colour_table[0]);
    std::memcpy(palette, colour_table, 32 * sizeof colour_table[0]);
    // Contour-line patterns of the black-and-white sections: clear bits draw black, set bits
    // the background. Each row is the previous one turned by one pixel, so horizontal and
    // vertical lines show the same dash sequence; level 0 is solid.
    static const std::uint8_t dashes[8] = {0x00, 0x0F, 0x33, 0x55, 0x03, 0x3F, 0x11, 0x07};
    for (int level = 0; level < 33; ++level) {
        const unsigned base = dashes[level % 8];
        for (int row = 0; row < 8; ++row)
            line_patterns[level][row] =
                static_cast<std::uint16_t>((base >> row | base << (8 - row)) & 0xFF);
    }
}

Potentials::~Potentials() {
    model::visit_potentials_arrays(*this, model::ModelCapacities{},
                                   [](auto*& p, std::size_t, const char*) { free_array(p); });
}

ModelResolution::ModelResolution() {
    opt_work_1 = sys::page_alloc_array<std::int32_t>(64);
    opt_work_2 = sys::page_alloc_array<std::int32_t>(std::size_t(opt_param_41) + 1);
    opt_work_3 = sys::page_alloc_array<std::int32_t>(4 * 41 * 64);
    opt_work_4 = sys::page_alloc_array<std::int32_t>(4 * 41 * 64);
    for (std::int32_t** p : {&opt_work_5, &opt_work_6, &opt_work_7, &opt_work_8})
        *p = sys::page_alloc_array<std::int32_t>(std::size_t(opt_param_100) + 1);
}

bool ModelResolution::allocated() const {
    return opt_work_1 && opt_work_2 && opt_work_3 && opt_work_4 && opt_work_5 && opt_work_6 &&
           opt_work_7 && opt_work_8;
}

ModelResolution::~ModelResolution() {
    // Deletion order: the gradient and matrix files first, then the electrode files.
    for (int k : {2, 3, 4, 5, 6, 7, 0, 1})
        model::empty_and_delete_file(work_files[k]);
    if (work_stream) {
        std::fclose(work_stream);
        work_stream = nullptr;
    }
    for (std::int32_t** p : {&opt_work_1, &opt_work_2, &opt_work_3, &opt_work_4, &opt_work_5,
                             &opt_work_6, &opt_work_7, &opt_work_8})
        free_array(*p);
}
