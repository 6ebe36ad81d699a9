// The window's picture as a whole: the canvas holds every section the display draws, the scroll
// bars reach all of it and the saved bitmap holds it (on a 1600 x 1000 screen, whose canvas of
// 2000 x 1250 pixels the IP and spectral pages pass).
#include "fixture.h"

#include "display/display_commands.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace sections_test {
namespace {

class WholePicture : public SectionsProgram {
  protected:
    // The display with OK for every dialog it opens.
    void display(int id = 111) {
        for (const std::string& name : display_dialogs(Modelsettings))
            answer("dialog " + name + " ok");
        command(id);
        ASSERT_TRUE(answered()) << take_output();
    }
    void read_example(const std::string& name) {
        read_model(name,
                   test_support::read_file(std::string(VELDARIN_SOURCE_DIR) + "/examples/" + name));
    }
    void scroll_to(ui::Bar bar, int pos) {
        ui::Event e;
        e.kind = ui::EventKind::scroll;
        e.bar = bar;
        e.code = ui::ScrollCode::thumb_track;
        e.pos = pos;
        send(e);
        idle();
    }
};

// The number of the lowest block the picture's model sections drew (those of `group` alone when
// it is 0 or more), and its bottom (one below its last row).
std::pair<std::size_t, int> lowest_block(int group = -1) {
    const SectionOutlines& o = Sectionoutlines;
    const std::size_t n = std::size_t(std::max(1, o.blocks_per_group));
    std::pair<std::size_t, int> low{0, -1};
    for (std::size_t b = 0; b < o.block_drawn.size(); ++b) {
        const int bottom = std::max(o.block_y[4 * b + 2], o.block_y[4 * b + 3]);
        if (o.block_drawn[b] == 1 && (group < 0 || b / n == std::size_t(group)) &&
            bottom > low.second)
            low = {b, bottom};
    }
    return low;
}

// The height in pixels of every model section drawn (its blocks' extent), by group.
std::vector<int> section_heights() {
    const SectionOutlines& o = Sectionoutlines;
    std::vector<int> heights;
    for (std::size_t g = 0; o.blocks_per_group > 0 &&
                            (g + 1) * std::size_t(o.blocks_per_group) <= o.block_drawn.size();
         ++g) {
        int top = 1 << 30, bottom = -1;
        for (std::size_t b = g * o.blocks_per_group; b < (g + 1) * o.blocks_per_group; ++b)
            if (o.block_drawn[b] == 1)
                top = std::min(top, o.block_y[4 * b]),
                bottom = std::max(bottom, o.block_y[4 * b + 2]);
        if (bottom >= 0) heights.push_back(bottom - top);
    }
    return heights;
}

// A canvas colour (0x00BBGGRR) as a bitmap pixel (0xRRGGBB).
std::uint32_t as_rgb(gfx::Colour c) {
    return std::uint32_t(gfx::red_of(c)) << 16 | std::uint32_t(gfx::green_of(c)) << 8 |
           std::uint32_t(gfx::blue_of(c));
}

// blocks_ip draws its IP model section, spectral_wenner its four pages and models, below the
// screen's canvas: the canvas grows to hold them whole, the vertical bar reaches them, the
// window scrolled to its end shows the last model, "Save screen as BMP" saved from there holds
// the whole picture, and the edit mode marks blocks there. A new model's canvas is the
// screen's again.
TEST_F(WholePicture, WindowHoldsScrollsToAndSavesTheWholeDisplay) {
    start(1600, 1000);
    const ui::Size client = ui::client_size();
    ASSERT_EQ(client.height, 958);
    ASSERT_EQ(canvas().height(), 1250);
    const struct {
        const char* example;
        const char* last;     // the title of the last section
        std::size_t sections; // the model sections drawn
    } cases[] = {{"blocks_ip.mod", "IP model\n", 2},
                 {"spectral_wenner.mod", "Cole exponent model\n", 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.example);
        read_example(c.example);
        command(130);
        ASSERT_EQ(Modelsettings.data_ready, 1) << take_output();
        take_output();
        take_texts();
        display(110);
        EXPECT_NE(take_texts().find(c.last), std::string::npos);
        // Every model section whole: the later ones as deep as the first.
        const std::vector<int> heights = section_heights();
        ASSERT_EQ(heights.size(), c.sections);
        for (const int h : heights)
            EXPECT_EQ(h, heights[0]);
        const auto [lowest, bottom] = lowest_block();
        const gfx::Point low = block_centre(lowest);
        EXPECT_GT(bottom, 1250);
        EXPECT_LE(bottom, canvas().height());
        EXPECT_LT(canvas().height(), bottom + 100); // the bar's range ends with the picture
        EXPECT_EQ(Progdisplay.canvas_height, canvas().height());
        const gfx::Colour block = canvas().get_pixel(low.x, low.y);
        EXPECT_NE(block, gfx::white);
        EXPECT_NE(block, gfx::clr_invalid);
        EXPECT_EQ(backend.scroll_max(ui::Bar::vertical), canvas().height() - client.height);

        scroll_to(ui::Bar::vertical, backend.scroll_max(ui::Bar::vertical));
        EXPECT_EQ(Progdisplay.scroll_y, canvas().height() - client.height);
        EXPECT_EQ(ui::window_canvas().get_pixel(low.x, low.y - Progdisplay.scroll_y), block);

        const std::string path = home + c.example + ".bmp";
        answer("file " + path);
        command(552);
        const test_support::Bitmap bmp = test_support::read_bitmap(path);
        EXPECT_EQ(bmp.width, client.width); // the picture is narrower than the window
        ASSERT_GE(bmp.height, bottom + 8);
        EXPECT_EQ(bmp.at(low.x, low.y), as_rgb(block));

        // The edit mode reaches the IP model below the screen's canvas: a right click marks
        // its lowest block.
        const std::size_t ip_block = lowest_block(1).first;
        EXPECT_GT(lowest_block(1).second, 1250);
        click(ui::MouseButton::right, block_centre(ip_block).x, block_centre(ip_block).y);
        EXPECT_EQ(Sectionoutlines.block_marked[ip_block], 1);
    }
    // Reading a model clears the canvas: it is the screen's again, and so is the bar's range.
    read_example("two_layers.mod");
    idle();
    EXPECT_EQ(canvas().height(), 1250);
    EXPECT_EQ(Progdisplay.canvas_height, 1250);
    EXPECT_EQ(backend.scroll_max(ui::Bar::vertical), 1250 - client.height);
    EXPECT_LE(Progdisplay.scroll_y, 1250 - client.height);
}

} // namespace
} // namespace sections_test
