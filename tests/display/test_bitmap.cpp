// The 256-colour table and the window bitmap, with the saved file opened by ImageMagick.
#include "fixture.h"

#include "display/bitmap.h"

#include <array>
#include <cstdio>
#include <set>

namespace {
using display_test::Session;
using test_support::TempDir;

TEST(Palette256, SystemColoursCubeAndGreys) {
    std::uint32_t table[257] = {};
    table[256] = 0xABCDEFu;
    set_palette256(table);
    const struct {
        int entry, r, g, b;
    } cases[] = {
        {0, 0, 0, 0},         {1, 128, 0, 0},       {9, 166, 202, 240},  {10, 8, 40, 76},
        {11, 0, 0, 51},       {12, 0, 0, 102},      {15, 0, 51, 0},      {218, 255, 255, 204},
        {219, 63, 127, 191},  {225, 255, 127, 191}, {226, 63, 159, 191}, {245, 223, 223, 191},
        {246, 255, 251, 240}, {248, 128, 128, 128}, {249, 255, 0, 0},    {255, 255, 255, 255}};
    for (const auto& c : cases)
        EXPECT_EQ(table[c.entry], gfx::rgb(c.r, c.g, c.b)) << c.entry;
    EXPECT_EQ(table[256], 0xABCDEFu);
    EXPECT_EQ(std::set<std::uint32_t>(table + 11, table + 219).size(), 208u);
}

// Little-endian field of a file's bytes.
std::uint32_t field(const std::vector<unsigned char>& b, int offset, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = v << 8 | b[std::size_t(offset + i)];
    return v;
}

std::vector<unsigned char> read_bytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    for (int c; (c = std::fgetc(f)) != EOF;)
        bytes.push_back(static_cast<unsigned char>(c));
    std::fclose(f);
    return bytes;
}

// A picture inside the client area is saved at the client area's size, from the canvas's
// top-left corner whatever the scroll position.
TEST(SaveScreenBmp, WritesTheClientAreaOfTheCanvasAt24Bits) {
    Session s(118, 92); // client area 101 x 50
    TempDir dir;
    gfx::Canvas canvas(300, 200);
    canvas.fill_rect({0, 0, 90, 40}, gfx::rgb(10, 20, 30));
    canvas.set_pixel(0, 39, gfx::rgb(200, 100, 50)); // bottom-left of the picture
    canvas.set_pixel(89, 0, gfx::rgb(1, 2, 3));      // top-right
    Progdisplay.canvas_dc = &canvas;
    Progdisplay.scroll_y = 30; // the canvas is saved from its top-left corner all the same
    const std::string path = dir.file("window.bmp");
    s.answer("file " + path);
    EXPECT_EQ(save_screen_bmp(), 552);
    EXPECT_EQ(Progdisplay.model_displayed, 1);
    EXPECT_EQ(ui::cursor(), ui::Cursor::arrow);
    ASSERT_EQ(sys::file_size(path), 15254); // 54 + (303 + 1 padding) x 50

    const std::vector<unsigned char> b = read_bytes(path);
    EXPECT_EQ(field(b, 0, 2), 0x4D42u);
    EXPECT_EQ(field(b, 2, 4), 15254u);
    EXPECT_EQ(field(b, 10, 4), 54u);
    EXPECT_EQ(field(b, 14, 4), 40u);
    EXPECT_EQ(field(b, 18, 4), 101u);
    EXPECT_EQ(field(b, 22, 4), 50u);
    EXPECT_EQ(field(b, 26, 2), 1u);
    EXPECT_EQ(field(b, 28, 2), 24u);
    EXPECT_EQ(field(b, 30, 4), 0u);
    // Rows are stored from the bottom one, blue first: the white margin below the picture,
    // then its bottom-left pixel ten rows up; the last row holds the top-right one.
    EXPECT_EQ((std::array<int, 3>{b[54], b[55], b[56]}), (std::array<int, 3>{255, 255, 255}));
    const std::size_t bottom_left = 54 + 304 * 10;
    EXPECT_EQ((std::array<int, 3>{b[bottom_left], b[bottom_left + 1], b[bottom_left + 2]}),
              (std::array<int, 3>{50, 100, 200}));
    const std::size_t top_right = 54 + 304 * 49 + 3 * 89;
    EXPECT_EQ((std::array<int, 3>{b[top_right], b[top_right + 1], b[top_right + 2]}),
              (std::array<int, 3>{3, 2, 1}));

    std::FILE* p = popen(("identify -format '%w %h %m' '" + path + "' 2>/dev/null").c_str(), "r");
    ASSERT_NE(p, nullptr);
    char line[128] = "";
    const bool got = std::fgets(line, sizeof line, p) != nullptr;
    const int status = pclose(p);
    if (!got && status != 0) GTEST_SKIP() << "ImageMagick identify is not available";
    EXPECT_EQ(std::string(line).substr(0, 10), "101 50 BMP") << line;
    Progdisplay.canvas_dc = nullptr;
}

// A picture larger than the client area is saved whole, with a white margin of 8 pixels
// beside its right and lower edges, whatever part the window shows.
TEST(SaveScreenBmp, WritesTheWholePictureBeyondTheClientArea) {
    Session s(118, 92); // client area 101 x 50
    TempDir dir;
    gfx::Canvas canvas(300, 200);
    canvas.set_pixel(250, 150, gfx::rgb(1, 2, 3)); // the picture's lowest, right-most pixel
    Progdisplay.canvas_dc = &canvas;
    Progdisplay.scroll_x = 200, Progdisplay.scroll_y = 150;
    const std::string path = dir.file("whole.bmp");
    s.answer("file " + path);
    EXPECT_EQ(save_screen_bmp(), 552);
    const std::vector<unsigned char> b = read_bytes(path);
    ASSERT_EQ(b.size(), 54u + 780u * 159u); // 259 x 159 pixels, rows of 777 + 3 bytes
    EXPECT_EQ(field(b, 18, 4), 259u);
    EXPECT_EQ(field(b, 22, 4), 159u);
    const std::size_t corner = 54 + 780 * 8 + 3 * 250; // row 150 is the ninth from the bottom
    EXPECT_EQ((std::array<int, 3>{b[corner], b[corner + 1], b[corner + 2]}),
              (std::array<int, 3>{3, 2, 1}));
    Progdisplay.canvas_dc = nullptr;
    Progdisplay.scroll_x = Progdisplay.scroll_y = 0;
}

TEST(SaveScreenBmp, CancelWritesNothingAndAFileThatCannotBeWrittenIsReported) {
    Session s(118, 92);
    TempDir dir;
    s.answer("file cancel");
    EXPECT_EQ(save_screen_bmp(), 552);
    EXPECT_EQ(Progdisplay.model_displayed, 1);
    EXPECT_FALSE(s.showed("BOX"));
    EXPECT_STREQ(Systemsettings.file_name, "*.bmp"); // no model: the pattern
    // With a model the bitmap is proposed after it.
    char name[] = "/data/wenner.survey.mod";
    char* const kept = Modelsettings.namefile;
    Modelsettings.namefile = name;
    Modelsettings.model_read = 1;
    s.answer("file cancel");
    save_screen_bmp();
    EXPECT_STREQ(Systemsettings.file_name, "wenner.survey.bmp");
    Modelsettings.model_read = 0;
    Modelsettings.namefile = kept;

    const std::string blocked = dir.file("no/such/folder/w.bmp");
    s.answer("file " + blocked);
    EXPECT_EQ(save_screen_bmp(), 552);
    EXPECT_TRUE(
        s.showed("BOX [Message] Cannot open file " + blocked + "\\nNo such file or directory."));
    EXPECT_EQ(sys::file_size(blocked), -1);
    EXPECT_TRUE(s.answered()) << s.err.str();
}

// A disk that fills up part-way leaves the bitmap that was there before, and says so.
TEST(SaveScreenBmp, FullDiskKeepsTheOldBitmap) {
    Session s(118, 92);
    TempDir dir;
    const std::string path = dir.write("window.bmp", "old picture");
    s.answer("file " + path);
    s.answer("box yes"); // replace the existing file
    sys::set_save_failure(1000);
    EXPECT_EQ(save_screen_bmp(), 552);
    sys::set_save_failure(-1);
    EXPECT_TRUE(s.showed("BOX [Message] Cannot open file " + path + "\\nNo space left on device."));
    EXPECT_EQ(test_support::read_file(path), "old picture");
    EXPECT_TRUE(s.answered()) << s.err.str();
}

} // namespace
