// The window's picture as a whole: the canvas holds every section the display draws, the scroll
// bars reach all of it and the saved bitmap holds it (on a 1600 x 1000 screen, whose canvas of
// 2000 x 1250 pixels the IP and spectral pages pass); and on a line of 301 electrodes the grid
// lines and data marks stand apart, so that the colours between them show.
#include "fixture.h"

#include "display/bitmap.h"
#include "display/display_commands.h"
#include "display/lines.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace sections_test {
namespace {

class WholePicture : public SectionsProgram {
  public:
    using SectionsProgram::click;

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
        // The picture's last row stands above the status line at the foot of the window.
        ASSERT_GT(Progdisplay.status_height, 0);
        EXPECT_LT(drawn_extent(canvas()).height - 1 - Progdisplay.scroll_y,
                  client.height - Progdisplay.status_height);

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

// A line of n electrodes 1 m apart, Wenner, 4 nodes a spacing, three layers (100, 500 and 20
// ohm-m down to 1.5, 2.5 and 4 m over 100 ohm-m); with `hill` a hill 4 m high at 140 to 160 m.
std::string long_line_text(int n, bool hill) {
    std::string t =
        "Long line of " + std::to_string(n) + " electrodes\n" + std::to_string(n) +
        "\n8\n0\n1.0\n2\n0 1\n3\n4\n100 20 500\n12\n"
        "0.5 1 1.5 2 2.5 3 4 5 6.2 7.6 9.4 11.6\n0\n0\n0\n2\n2\n1\n1\n1\n0\n0\n0\n0\n1\n";
    if (hill)
        t += "0\n0\n0\n1\n5\n0 0\n140 0\n150 4\n160 0\n" + std::to_string(n - 1) + " 0\n0\n0\n";
    return t;
}

// A line of 61 electrodes at the largest horizontal scale, 200 pixels an electrode spacing, is
// 12,000 pixels long, more than the canvas of a 1024 x 768 screen grows to (10,240): the display
// says that the picture is cut and how to see it whole; at the scale the program chose it holds
// the picture without a word.
TEST_F(WholePicture, APictureTooLargeForTheWindowIsReported) {
    start();
    read_model("line61.mod", long_line_text(61, false));
    command(130);
    ASSERT_EQ(Modelsettings.data_ready, 1) << take_output();
    display();
    EXPECT_EQ(take_output().find("more than the window can hold"), std::string::npos);
    answer("dialog HrpsDiaBox set 853 200 ok");
    command(117);
    ASSERT_TRUE(answered());
    EXPECT_NE(take_output().find("BOX [Message] The picture is 12"), std::string::npos);
    display();
    EXPECT_NE(take_output().find("more than the window can hold:\\nwhat lies right of 10240"),
              std::string::npos);
}

// The x of the pixels of colour c along row y between x0 and x1.
std::vector<int> pixels_along(const gfx::Canvas& dc, int y, int x0, int x1, gfx::Colour c) {
    std::vector<int> xs;
    for (int x = x0; x <= x1; ++x)
        if (dc.get_pixel(x, y) == c) xs.push_back(x);
    return xs;
}

// The least distance between neighbours of ascending positions (a large one for fewer than 2).
int least_gap(const std::vector<int>& xs) {
    int gap = 1 << 30;
    for (std::size_t i = 1; i < xs.size(); ++i)
        gap = std::min(gap, xs[i] - xs[i - 1]);
    return gap;
}

// Across the resistivity model section from its left end to 130 m (left of the hill), through
// the middle of its sixth block row: the grid's black lines (many of them) stand
// least_line_gap apart or more.
void expect_grid_thinned(const gfx::Canvas& dc, const char* when) {
    SCOPED_TRACE(when);
    const ModelSettings& m = Modelsettings;
    const gfx::Point left = block_centre(block_number(0, 6, m.margin_columns));
    const gfx::Point right = block_centre(block_number(0, 6, m.margin_columns + 4 * 130));
    const std::vector<int> lines =
        pixels_along(dc, left.y, left.x, right.x, Progdisplay.pens[24].colour);
    EXPECT_GT(lines.size(), 100u);
    EXPECT_GE(least_gap(lines), least_line_gap);
}

// The white data marks inside the coloured area of the pseudosection (a white pixel between
// two coloured ones, which only a mark is): no two closer than least_line_gap both ways.
void expect_marks_thinned(const gfx::Canvas& dc, int below) {
    std::vector<std::pair<int, int>> marks;
    for (int y = 0; y < below; ++y)
        for (int x = 1; x + 1 < dc.width(); ++x) {
            const gfx::Colour l = dc.get_pixel(x - 1, y), r = dc.get_pixel(x + 1, y);
            if (dc.get_pixel(x, y) == gfx::white && l != gfx::white && r != gfx::white &&
                l != gfx::black && r != gfx::black)
                marks.push_back({x, y});
        }
    EXPECT_GT(marks.size(), 500u);
    const std::set<std::pair<int, int>> at(marks.begin(), marks.end());
    int close = 0;
    for (const auto& p : marks)
        for (int dx = 0; dx < least_line_gap; ++dx)
            for (int dy = -least_line_gap + 1; dy < least_line_gap; ++dy)
                close += (dx > 0 || dy > 0) && at.count({p.first + dx, p.second + dy});
    EXPECT_EQ(close, 0);
}

// In the edit mode, a left click marks the four blocks from 60 m in the sixth row, and the third
// colour box (500 ohm-m) gives them its value: the marked blocks, and then the edited ones, are
// painted as the section shows its blocks, the grid thinned over them (each was outlined whole:
// black lines 1.6 pixels apart).
void expect_edit_keeps_grid_thinned(WholePicture& test, gfx::Canvas& dc) {
    const ModelSettings& m = Modelsettings;
    const std::size_t first = block_number(0, 6, m.margin_columns + 4 * 60);
    const gfx::Point at = block_centre(first);
    test.click(ui::MouseButton::left, at.x, at.y);
    ASSERT_EQ(Sectionoutlines.block_marked[first + 3], 1);
    expect_grid_thinned(dc, "blocks marked");
    const gfx::Point box = box_centre(0, 2);
    test.click(ui::MouseButton::left, box.x, box.y);
    ASSERT_EQ(m.resistivity_codes[first + 3], 2);
    expect_grid_thinned(dc, "blocks edited");
    const gfx::Colour value = Progdisplay.brushes[m.colour_marks[2]].colour;
    const int right = block_centre(first + 3).x;
    EXPECT_GT(pixels_along(dc, at.y, at.x, right, value).size(), 3u);
}

// 301 electrodes on a 1600-pixel screen: the mesh columns stand 1.6 pixels apart. The model
// section the calculation draws and the one of the edit mode show their block grid thinned,
// also where blocks were marked and edited; the pseudosection its data marks thinned; a section
// with topography, whose blocks are outlined, likewise.
TEST_F(WholePicture, LongLinesShowTheirColours) {
    start(1600, 1000, 1024);
    read_model("long.mod", long_line_text(301, false));
    ASSERT_LT(Progdisplay.xscale / 4, 2.0f);
    command(130);
    ASSERT_EQ(Modelsettings.data_ready, 1) << take_output();
    expect_grid_thinned(canvas(), "calculating");
    display(110);
    expect_grid_thinned(canvas(), "edit mode");
    expect_marks_thinned(canvas(),
                         block_centre(block_number(0, 1, Modelsettings.margin_columns)).y);
    expect_edit_keeps_grid_thinned(*this, canvas());

    answer("box no"); // the edited model is not saved
    read_model("hill.mod", long_line_text(301, true));
    command(111); // no data yet: the model section alone
    expect_grid_thinned(canvas(), "topography");
    command(110);
    expect_edit_keeps_grid_thinned(*this, canvas());
}

} // namespace
} // namespace sections_test
